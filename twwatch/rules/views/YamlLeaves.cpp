// YAML through yaml-cpp's event parser. The events are logged first and then walked, so that an alias
// is read as the node its anchor names; the walk is bounded in depth and in steps, and the sink's own
// budget ends it, so an alias bomb ("billion laughs") costs no more than its bounds.

#include "rules/views/ConfigLeaves.h"

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/exceptions.h>
#include <yaml-cpp/parser.h>

#include <istream>
#include <map>
#include <streambuf>

namespace tw {

namespace {

// Reads the text where it lies instead of copying it into a string stream.
class MemoryBuffer : public std::streambuf
{
public:
    explicit MemoryBuffer(std::string_view text)
    {
        char* p = const_cast<char*>(text.data());
        setg(p, p, p + text.size());
    }
};

struct Event
{
    enum Kind { Scalar, Null, Alias, SeqStart, MapStart, End } kind;
    std::string text;
    YAML::anchor_t anchor = 0;
    std::size_t end = 0;    // for a start: the index of its End
    std::uint32_t line = 0; // 1-based, where the node starts
    bool spans = false;     // a literal block: its lines are the text's, from `line` on
};

std::uint32_t lineOf(const YAML::Mark& mark)
{
    return mark.line >= 0 && mark.line < INT32_MAX ? static_cast<std::uint32_t>(mark.line) + 1 : 0;
}

// yaml-cpp 0.7 can report events without end on some malformed input (a lone "," at the top level
// yields null after null), so the log refuses more events than any real document of this size has.
struct TooManyEvents : std::exception
{
};

class EventLog : public YAML::EventHandler
{
public:
    explicit EventLog(std::string_view text)
        : m_text(text)
        , m_limit(text.size() * 4 + 64)
    {
    }

    std::vector<Event> events;
    std::map<YAML::anchor_t, std::size_t> anchors;

    void OnDocumentStart(const YAML::Mark&) override {}
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark& mark, YAML::anchor_t anchor) override
    {
        add({Event::Null, {}, 0, 0, lineOf(mark)}, anchor);
    }
    void OnAlias(const YAML::Mark& mark, YAML::anchor_t anchor) override
    {
        add({Event::Alias, {}, anchor, 0, lineOf(mark)}, 0);
    }
    void OnScalar(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor,
                  const std::string& value) override
    {
        // A block's content starts on the line after the indicator the mark points at; a literal block
        // (`|`) keeps its line ends, a folded one (`>`) joins its lines.
        const auto at = static_cast<std::size_t>(mark.pos);
        const char indicator = mark.pos >= 0 && at < m_text.size() && lineOf(mark) != 0 ? m_text[at] : 0;
        const bool block = indicator == '|' || indicator == '>';
        add({Event::Scalar, value, 0, 0, block ? lineOf(mark) + 1 : lineOf(mark), indicator == '|'}, anchor);
    }
    void OnSequenceStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor,
                         YAML::EmitterStyle::value) override
    {
        open(Event::SeqStart, anchor, lineOf(mark));
    }
    void OnMapStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t anchor,
                    YAML::EmitterStyle::value) override
    {
        open(Event::MapStart, anchor, lineOf(mark));
    }
    void OnSequenceEnd() override { close(); }
    void OnMapEnd() override { close(); }

private:
    void add(Event e, YAML::anchor_t anchor)
    {
        if (events.size() >= m_limit)
            throw TooManyEvents();
        if (anchor != 0)
            anchors[anchor] = events.size();
        e.end = events.size() + 1;
        events.push_back(std::move(e));
    }
    void open(Event::Kind kind, YAML::anchor_t anchor, std::uint32_t line)
    {
        m_open.push_back(events.size());
        add({kind, {}, 0, 0, line}, anchor);
    }
    void close()
    {
        if (m_open.empty())
            return;
        events[m_open.back()].end = events.size() + 1;
        m_open.pop_back();
        if (events.size() >= m_limit)
            throw TooManyEvents();
        events.push_back({Event::End, {}, 0});
    }
    std::string_view m_text;
    std::size_t m_limit;
    std::vector<std::size_t> m_open;
};

class Walker
{
public:
    Walker(const EventLog& log, LeafSink& sink)
        : m_log(log)
        , m_sink(sink)
        , m_stepsLeft(log.events.size() * 4 + 65536)
    {
    }

    // False when the document nests deeper than kMaxDepth.
    bool walkAll()
    {
        for (std::size_t i = 0; i < m_log.events.size() && !m_stop;)
            i = walk(i, 0);
        return !m_tooDeep;
    }

private:
    std::size_t walk(std::size_t i, std::size_t depth)
    {
        const Event& e = m_log.events[i];
        if (m_stop || m_stepsLeft-- == 0) {
            m_stop = true;
            return e.end;
        }
        if (depth > kMaxDepth) {
            m_tooDeep = m_stop = true;
            return e.end;
        }
        switch (e.kind) {
        case Event::Scalar:
            emit(e.text, {e.line, e.spans});
            break;
        case Event::Null:
            emit("null", e.line);
            break;
        case Event::Alias:
            if (const auto a = m_log.anchors.find(e.anchor); a != m_log.anchors.end() && a->second < i)
                walk(a->second, depth + 1);
            break;
        case Event::SeqStart: {
            std::size_t j = i + 1, n = 0;
            while (j < e.end - 1 && !m_stop) {
                m_key.push_back(std::to_string(n++));
                j = walk(j, depth + 1);
                m_key.pop_back();
            }
            if (n == 0)
                emit("[]", e.line);
            break;
        }
        case Event::MapStart: {
            std::size_t j = i + 1, n = 0;
            while (j < e.end - 1 && !m_stop) {
                const Event& k = m_log.events[j];
                m_key.push_back(k.kind == Event::Scalar ? k.text : k.kind == Event::Null ? "null" : "?");
                j = k.end;
                if (j < e.end - 1)
                    j = walk(j, depth + 1);
                m_key.pop_back();
                ++n;
            }
            if (n == 0)
                emit("{}", e.line);
            break;
        }
        case Event::End:
            break;
        }
        return e.end;
    }

    void emit(std::string_view value, SourceLine line)
    {
        if (!m_sink.leaf(m_key, value, line))
            m_stop = true;
    }

    const EventLog& m_log;
    LeafSink& m_sink;
    std::vector<std::string> m_key;
    std::size_t m_stepsLeft;
    bool m_stop = false;
    bool m_tooDeep = false;
};

} // namespace

bool readYamlLeaves(std::string_view text, LeafSink& sink)
{
    EventLog log(text);
    try {
        MemoryBuffer buffer(text);
        std::istream in(&buffer);
        YAML::Parser parser(in);
        while (parser.HandleNextDocument(log)) {
        }
    } catch (const std::exception&) {
        return false;
    }
    return Walker(log, sink).walkAll();
}

} // namespace tw
