#pragma once

// The seam between watching and matching: a changed path with its change words goes in, the rules it
// matches come out. The watcher owns one `RuleEngine` (compiled rules, shared and read-only) and asks it
// for one `Evaluator` per worker thread, so an evaluator may keep per-thread scratch state (a YARA
// scanner, buffers) without locking.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The change words a `Change` carries in `types`, in the order they were first seen for the path.
//   "created"    a new entry appeared at the path (also every file found inside a directory that was
//                created, or inside a watched root that came into being)
//   "modified"   the file's content was written
//   "attributes" mode, owner, timestamps or extended attributes changed (a git hook becomes live when
//                it gets the executable bit)
//   "moved"      an entry arrived at the path by a rename (also every file inside a directory moved in)
//   "deleted"    the entry at the path went away, by deletion or by being renamed elsewhere
//   "rescanned"  events were lost (queue overflow), or the watcher was not running: the file changed
//                during the gap, but how is unknown
//   "existing"   the file was already there when its root was added (the audit of a new root)
namespace words {
inline constexpr std::string_view created = "created";
inline constexpr std::string_view modified = "modified";
inline constexpr std::string_view attributes = "attributes";
inline constexpr std::string_view moved = "moved";
inline constexpr std::string_view deleted = "deleted";
inline constexpr std::string_view rescanned = "rescanned";
inline constexpr std::string_view existing = "existing";
} // namespace words

struct Change
{
    std::string path;               // absolute; raw bytes of the file name, not necessarily UTF-8
    std::vector<std::string> types; // change words, see tw::words
    bool urgent = false;            // a hook, config or manifest path: evaluated before bulk changes
};

struct RuleMatch
{
    std::string rule;
    std::string severity;
    // Set when the file could not be read: the match is the watcher's own warning (rule names in
    // WarningRules.h) with the system's explanation, and the path is tried again later.
    std::string readFailure{};
    // The rule's `description` meta; empty when it has none.
    std::string description{};
    // Ascending, distinct 1-based numbers of the first lines (at most kMaxMatchLines) its strings
    // matched on; empty when the match is not tied to lines (only the path matched, or only a view
    // that has no line mapping).
    std::vector<std::uint32_t> lines{};
};

inline constexpr std::size_t kMaxMatchLines = 16;

class Evaluator
{
public:
    virtual ~Evaluator() = default;
    // Called from one thread only. The file may already be gone (a "deleted" change, or a race with the
    // writer); an evaluator matches what it can and never throws for an unreadable file. A file that
    // exists but cannot be read is never passed over in silence: it yields a match with readFailure.
    virtual std::vector<RuleMatch> evaluate(const Change& change) = 0;
};

class RuleEngine
{
public:
    virtual ~RuleEngine() = default;
    // Thread-safe: called once per worker thread.
    virtual std::unique_ptr<Evaluator> makeEvaluator() const = 0;
};

} // namespace tw
