// Feeds arbitrary bytes, cut into arbitrary chunks, to the configuration reader and checks what it
// promises: every accepted path is absolute, bounded, free of NUL and LF, and normalised; the chunking
// never changes the result.

#include "watch/ConfigReader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the chunk size, the rest is the input.
    const size_t chunk = (data[0] % 17) + 1;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

    tw::ConfigReader whole;
    tw::ConfigReader pieces;
    const auto expected = whole.feed(input);
    std::vector<tw::ConfigMessage> got;
    for (size_t i = 0; i < input.size(); i += chunk) {
        for (auto& m : pieces.feed(input.substr(i, chunk)))
            got.push_back(std::move(m));
    }
    check(got.size() == expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        check(got[i].paths == expected[i].paths);
        check(got[i].rejected == expected[i].rejected);
        for (const auto& path : got[i].paths) {
            check(!path.empty() && path.front() == '/');
            check(path.size() <= tw::ConfigReader::maxLineLength);
            check(path.find('\0') == std::string::npos && path.find('\n') == std::string::npos);
            check(path == "/" || path.back() != '/');
            check(tw::normalizeConfiguredPath(path) == path);
        }
        for (const auto& line : got[i].rejected)
            check(line.size() <= 256);
    }
    check(whole.hasPartialMessage() == pieces.hasPartialMessage());
    return 0;
}
