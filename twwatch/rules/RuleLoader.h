#pragma once

// Loading the YARA rule pack and the two by-hand commands built on it.
//
// Rules come from two folders, in this order: the bundled pack in rules/ beside the twwatch executable,
// then the user's own in $XDG_CONFIG_HOME/tarnwick/rules/ (~/.config/tarnwick/rules/ when unset). Every
// *.yar / *.yara file is compiled on its own, so a broken file is named on the diagnostics stream with
// YARA's message and skipped while the others load. A rule whose meta `severity` is not exactly
// "critical", "high" or "warning" is refused with a message.

#include "rules/RuleCompiler.h"
#include "watch/RuleEngine.h"

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace tw {

struct RuleLoadOptions
{
    // Empty: rules/ beside the running executable (/proc/self/exe).
    std::filesystem::path bundledDir;
    // Empty: $XDG_CONFIG_HOME/tarnwick/rules, or ~/.config/tarnwick/rules.
    std::filesystem::path userDir;
    bool loadBundled = true;
    bool loadUser = true;
    // The long-running watcher takes OneSet: one scanner per worker, one pass per view of a file.
    RuleGrouping grouping = RuleGrouping::PerScope;
};

// Never null. Problems (missing folders, files that do not compile, refused rules) go to `diagnostics`,
// one line each; an engine without any rule is still returned and simply never matches.
std::unique_ptr<RuleEngine> loadRuleEngine(const RuleLoadOptions& options, std::ostream& diagnostics);

// `twwatch --check-rules`: compiles everything and reports, per file, what loaded and what was refused.
// Returns the process exit code: Ok when every file and rule loaded, RulesRefused when something was
// refused or nothing loaded at all, SystemFailure when libyara did not start.
int runCheckRules(const RuleLoadOptions& options, std::ostream& out, std::ostream& err);

// `twwatch --scan DIR...`: evaluates every file under the directories once, with the same rules and
// pruning as the watcher, writes one event line per match to standard output and returns the exit code:
// Ok when every directory was walked, FolderUnreadable when one could not be read (the others are
// still scanned).
// An audit is short and reads every file, so it always compiles a set per scope, whatever `grouping`.
int runScan(const std::vector<std::string>& dirs, const RuleLoadOptions& options, std::ostream& err);

} // namespace tw
