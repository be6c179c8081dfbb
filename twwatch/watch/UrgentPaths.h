#pragma once

// The paths whose changes are evaluated before any other: where a repository or a package turns a file
// into code that runs (git hooks and config, package manifests, editor tasks, CI workflows, AI agents'
// instruction files, shell start-up files). A bulk of ordinary files (a huge folder moved in, a build's
// output) never holds them up.
//
// A fixed list rather than the rule files' scopes: some scopes name every file of a kind (`*.js`), and
// a node_modules moved in would then be all urgent.

#include <string>

namespace tw {

bool isUrgentPath(const std::string& path);

} // namespace tw
