#include "ScanRunner.h"

#include <cstdlib>
#include <sstream>

namespace tw::test {

std::filesystem::path twwatchBinary()
{
    return binDir() / "twwatch";
}

ScanResult runTwwatch(const std::vector<std::string>& args, const std::filesystem::path& binary,
                      const std::filesystem::path& cwd)
{
    std::vector<std::string> argv{binary.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    ScanResult r;
    r.process = runProcess(argv, cwd, std::chrono::seconds(60));
    std::istringstream in(r.process.out);
    for (std::string line; std::getline(in, line);) {
        WatchLine event = decodeWatchLine(line);
        if (event.decoded)
            r.events.push_back(std::move(event));
        else
            r.allLinesDecoded = false;
    }
    return r;
}

void useConfigHome(const std::filesystem::path& dir)
{
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
}

} // namespace tw::test
