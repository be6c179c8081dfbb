#include "rules/views/TextView.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tw {

namespace {

enum class Encoding { Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be };

struct Detected
{
    Encoding encoding = Encoding::Utf8;
    std::size_t bomLength = 0;
};

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

// Without a byte order mark, UTF-16 and UTF-32 text that is mostly ASCII shows a regular pattern of
// NUL bytes; binary data rarely keeps that pattern over a whole sample.
Detected detectWithoutMark(std::string_view raw)
{
    const std::size_t sample = std::min<std::size_t>(raw.size(), 4096);
    // Most files hold no NUL at all; they cost one search.
    if (std::memchr(raw.data(), 0, sample) == nullptr)
        return {};
    const auto* b = reinterpret_cast<const unsigned char*>(raw.data());
    if (sample >= 8) {
        std::size_t le = 0, be = 0;
        const std::size_t units = sample / 4;
        for (std::size_t i = 0; i + 4 <= units * 4; i += 4) {
            le += b[i] != 0 && b[i + 1] == 0 && b[i + 2] == 0 && b[i + 3] == 0;
            be += b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 0 && b[i + 3] != 0;
        }
        if (le * 10 >= units * 9)
            return {Encoding::Utf32Le, 0};
        if (be * 10 >= units * 9)
            return {Encoding::Utf32Be, 0};
    }
    if (sample >= 4) {
        std::size_t le = 0, be = 0, both = 0;
        const std::size_t units = sample / 2;
        for (std::size_t i = 0; i + 2 <= units * 2; i += 2) {
            le += b[i] != 0 && b[i + 1] == 0;
            be += b[i] == 0 && b[i + 1] != 0;
            both += b[i] == 0 && b[i + 1] == 0;
        }
        if (both * 10 < units && le * 10 >= units * 6 && be * 10 < units)
            return {Encoding::Utf16Le, 0};
        if (both * 10 < units && be * 10 >= units * 6 && le * 10 < units)
            return {Encoding::Utf16Be, 0};
    }
    return {};
}

Detected detect(std::string_view raw)
{
    using namespace std::string_view_literals;
    if (startsWith(raw, "\x00\x00\xFE\xFF"sv))
        return {Encoding::Utf32Be, 4};
    if (startsWith(raw, "\xFF\xFE\x00\x00"sv))
        return {Encoding::Utf32Le, 4};
    if (startsWith(raw, "\xFE\xFF"sv))
        return {Encoding::Utf16Be, 2};
    if (startsWith(raw, "\xFF\xFE"sv))
        return {Encoding::Utf16Le, 2};
    if (startsWith(raw, "\xEF\xBB\xBF"sv))
        return {Encoding::Utf8, 3};
    return detectWithoutMark(raw);
}

void decodeUtf16(std::string_view in, bool bigEndian, std::string& out)
{
    const auto* b = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t units = in.size() / 2;
    auto unit = [&](std::size_t i) -> std::uint32_t {
        return bigEndian ? (b[2 * i] << 8) | b[2 * i + 1] : (b[2 * i + 1] << 8) | b[2 * i];
    };
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const std::uint32_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, u); // a lone surrogate becomes U+FFFD there
    }
    if (in.size() % 2 != 0)
        appendUtf8(out, 0xFFFD);
}

void decodeUtf32(std::string_view in, bool bigEndian, std::string& out)
{
    const auto* b = reinterpret_cast<const unsigned char*>(in.data());
    for (std::size_t i = 0; i + 4 <= in.size(); i += 4) {
        const std::uint32_t cp =
            bigEndian ? (std::uint32_t(b[i]) << 24) | (b[i + 1] << 16) | (b[i + 2] << 8) | b[i + 3]
                      : (std::uint32_t(b[i + 3]) << 24) | (b[i + 2] << 16) | (b[i + 1] << 8) | b[i];
        appendUtf8(out, cp);
    }
    if (in.size() % 4 != 0)
        appendUtf8(out, 0xFFFD);
}

// CRLF to LF in place; returns whether anything changed.
bool foldLineEnds(std::string& s)
{
    const auto first = s.find("\r\n");
    if (first == std::string::npos)
        return false;
    std::size_t w = first;
    for (std::size_t r = first; r < s.size(); ++r) {
        if (s[r] == '\r' && r + 1 < s.size() && s[r + 1] == '\n')
            continue;
        s[w++] = s[r];
    }
    s.resize(w);
    return true;
}

} // namespace

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isWideText(std::string_view raw)
{
    return detect(raw).encoding != Encoding::Utf8;
}

bool decodeText(std::string_view raw, std::string& out)
{
    const Detected d = detect(raw);
    const std::string_view body = raw.substr(d.bomLength);
    out.clear();
    switch (d.encoding) {
    case Encoding::Utf8:
        // The common case costs one search and no copy.
        if (d.bomLength == 0 && std::memchr(raw.data(), '\r', raw.size()) == nullptr)
            return false;
        out.assign(body);
        return foldLineEnds(out) || d.bomLength != 0;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        out.reserve(body.size() + body.size() / 2);
        decodeUtf16(body, d.encoding == Encoding::Utf16Be, out);
        break;
    case Encoding::Utf32Le:
    case Encoding::Utf32Be:
        out.reserve(body.size());
        decodeUtf32(body, d.encoding == Encoding::Utf32Be, out);
        break;
    }
    foldLineEnds(out);
    return true;
}

} // namespace tw
