#pragma once

// Runs the real `twwatch --scan` over a temporary tree and decodes its event lines. The test's own
// $XDG_CONFIG_HOME is used, so rules in the developer's config folder never leak into a test.

#include "WatcherHarness.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tw::test {

struct ScanResult
{
    ProcessResult process;
    std::vector<WatchLine> events; // the same lines as the watcher's
    bool allLinesDecoded = true;
};

std::filesystem::path twwatchBinary();

// twwatch with `args` run in `cwd`, its events decoded.
ScanResult runTwwatch(const std::vector<std::string>& args,
                      const std::filesystem::path& binary = twwatchBinary(),
                      const std::filesystem::path& cwd = {});

// Points $XDG_CONFIG_HOME at `dir` for this process and every twwatch it starts.
void useConfigHome(const std::filesystem::path& dir);

} // namespace tw::test
