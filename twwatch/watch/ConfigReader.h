#pragma once

// Reads configuration messages from the watcher's standard input: one absolute directory path per line,
// LF line ends, each message closed by an empty line. Each message is the whole new watched set.
//
// Input is arbitrary bytes from a pipe, so the reader is incremental and bounded: a line longer than
// PATH_MAX is discarded up to its LF and named in `rejected`, as is a line that is not an absolute path
// or holds a NUL byte. Trailing slashes are removed ("/" stays "/"); duplicates keep their first place.
// Paths are kept as bytes: a name that is not UTF-8 is still a valid Linux path.

#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct ConfigMessage
{
    std::vector<std::string> paths;
    std::vector<std::string> rejected; // the offending line, cut to at most 256 bytes
};

class ConfigReader
{
public:
    static constexpr size_t maxLineLength = 4096;

    // Feeds a chunk of bytes; returns the messages it completed, in order.
    std::vector<ConfigMessage> feed(std::string_view bytes);

    // True when a message has been started but not closed (lines read without the closing empty line).
    bool hasPartialMessage() const { return m_started; }

private:
    void endLine(std::vector<ConfigMessage>& done);

    std::string m_line;
    bool m_overlong = false;
    bool m_started = false;
    ConfigMessage m_current;
};

// The normal form of a configured path, or empty when the line is not acceptable.
std::string normalizeConfiguredPath(std::string_view line);

} // namespace tw
