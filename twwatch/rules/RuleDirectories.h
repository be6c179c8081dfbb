#pragma once

// Where rule files are looked for, and which files in a folder count as rule files.

#include "rules/RuleLoader.h"

#include <filesystem>
#include <ostream>
#include <vector>

namespace tw {

// rules/ beside the running executable, found through /proc/self/exe (so it holds in the build tree,
// the install tree and for a twwatch started through a symlink).
std::filesystem::path bundledRuleDir();

// $XDG_CONFIG_HOME/tarnwick/rules when XDG_CONFIG_HOME is an absolute path, else
// $HOME/.config/tarnwick/rules; empty when neither can be told.
std::filesystem::path userRuleDir();

// The *.yar and *.yara files of the folders the options name, bundled first, each folder's files in
// name order so that loading is the same on every run. A missing bundled folder is reported; a missing
// user folder is the normal case and is not.
std::vector<std::filesystem::path> ruleFiles(const RuleLoadOptions& options, std::ostream& diagnostics);

} // namespace tw
