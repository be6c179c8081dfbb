// Arbitrary bytes in arbitrary chunks: every accepted path is absolute, bounded, free of NUL and LF and
// normalised, every rejected line is cut, and the chunking never changes the result.

#undef NDEBUG // the checks below are the point, in every build type
#include "watch/ConfigReader.h"

#include <cassert>
#include <cstdint>
#include <string_view>

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
    assert(got.size() == expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        assert(got[i].paths == expected[i].paths);
        assert(got[i].rejected == expected[i].rejected);
        for (const auto& path : got[i].paths) {
            assert(!path.empty() && path.front() == '/');
            assert(path.size() <= tw::ConfigReader::maxLineLength);
            assert(path.find('\0') == std::string::npos && path.find('\n') == std::string::npos);
            assert(path == "/" || path.back() != '/');
            assert(tw::normalizeConfiguredPath(path) == path);
        }
        for (const auto& line : got[i].rejected)
            assert(line.size() <= 256);
    }
    assert(whole.hasPartialMessage() == pieces.hasPartialMessage());
    return 0;
}
