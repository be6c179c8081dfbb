#include "ScanRunner.h"

#include <cstdlib>
#include <sstream>

namespace tw::test {

std::filesystem::path twwatchBinary()
{
    return binDir() / "twwatch";
}

std::vector<Event> decodeEvents(const std::string& out, bool& allDecoded)
{
    std::vector<Event> events;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        Event event = decodeWatchLine(line);
        if (event.decoded)
            events.push_back(std::move(event));
        else
            allDecoded = false;
    }
    return events;
}

ScanResult runTwwatch(const std::vector<std::string>& args, const std::filesystem::path& binary)
{
    std::vector<std::string> argv{binary.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    ScanResult r;
    r.process = runProcess(argv, {}, std::chrono::seconds(60));
    r.events = decodeEvents(r.process.out, r.allLinesDecoded);
    return r;
}

void useConfigHome(const std::filesystem::path& dir)
{
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
}

void writeUserRule(const std::filesystem::path& configHome, const std::string& fileName,
                   const std::string& text)
{
    const auto dir = configHome / "tarnwick" / "rules";
    std::filesystem::create_directories(dir);
    writeFile(dir / fileName, text);
}

} // namespace tw::test
