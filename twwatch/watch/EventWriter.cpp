#include "EventWriter.h"

#include "Utf8.h"
#include "WarningRules.h"

#include <cerrno>
#include <csignal>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace tw {

EventWriter::EventWriter(int fd)
    : m_fd(fd)
{
}

std::string EventWriter::format(const EventLine& line)
{
    nlohmann::ordered_json object;
    object["path"] = line.path;
    object["types"] = line.types;
    object["rule"] = line.rule;
    object["severity"] = line.severity;
    if (!line.reason.empty())
        object["reason"] = line.reason;
    if (!isValidUtf8(line.path))
        object["pathBytes"] = base64Encode(line.path);
    // Rule-author text: the serializer escapes quotes, backslashes and control characters.
    if (!line.description.empty())
        object["description"] = line.description;
    if (!line.lines.empty())
        object["lines"] = line.lines;
    // Invalid bytes anywhere become U+FFFD instead of an exception: a line is always produced.
    std::string text = object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    text += '\n';
    return text;
}

bool EventWriter::write(const EventLine& line)
{
    if (failed())
        return false;
    return writeAll(format(line));
}

bool EventWriter::write(const Change& change, const RuleMatch& match)
{
    return write(EventLine{change.path, change.types, match.rule, match.severity, match.readFailure,
                           match.description, match.lines});
}

bool EventWriter::writeWarning(const std::string& path, std::string_view rule, const std::string& reason)
{
    return write(EventLine{path, {}, std::string(rule), std::string(warnings::severity), reason});
}

void EventWriter::setFailureHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_mutex);
    m_onFailure = std::move(handler);
}

bool EventWriter::writeAll(const std::string& bytes)
{
    std::function<void()> onFailure;
    {
        std::lock_guard lock(m_mutex);
        if (failed())
            return false;
        // One write() for the whole line; the loop only matters for lines beyond the pipe's capacity,
        // which the mutex still keeps whole and in order.
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            m_failed.store(true, std::memory_order_relaxed);
            onFailure = m_onFailure;
            break;
        }
        if (!failed())
            return true;
    }
    if (onFailure)
        onFailure();
    else
        _exit(0);
    return false;
}

void ignoreSigpipe()
{
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &action, nullptr);
}

} // namespace tw
