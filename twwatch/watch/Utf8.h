#pragma once

// File names are arbitrary bytes; JSON is UTF-8. These helpers decide which is which.

#include <string>
#include <string_view>

namespace tw {

// Strict UTF-8 (RFC 3629): no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

std::string base64Encode(std::string_view bytes);

} // namespace tw
