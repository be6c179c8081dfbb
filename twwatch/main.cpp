// twwatch: watches directories named on standard input and prints every rule match as a JSON line.

#include "watch/EventWriter.h"
#include "watch/RuleEngine.h"
#include "watch/WatchLoop.h"

#include <cstring>
#include <iostream>
#include <string_view>

namespace {

constexpr std::string_view usage = R"(Usage: twwatch [--help | --version]

Watches directories recursively and prints one JSON line for every change that matches a rule.

Standard input carries the directories to watch: one absolute path per line, each list ended by an
empty line. Every list replaces the previous one; an empty list (a lone empty line) watches nothing.
  printf '/home/me/src\n\n' | twwatch

Standard output: one JSON object per line with "path", "types" (change words: created, modified,
attributes, moved, deleted, rescanned), "rule" and "severity". The watcher's own problems (queue
overflow, watch limit, unreadable directories) come as lines with severity "warning".

twwatch ends at the end of its standard input (unless its output is a terminal), on SIGTERM, SIGINT
or SIGHUP, and quietly when its standard output goes away.

Options:
  --help       show this text
  --version    show the version
)";

} // namespace

int main(int argc, char** argv)
{
    tw::ignoreSigpipe();
    if (argc > 1) {
        const std::string_view arg = argv[1];
        if (arg == "--help" || arg == "-h") {
            std::cout << usage;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "twwatch " << TW_VERSION << '\n';
            return 0;
        }
        std::cerr << "twwatch: unknown argument: " << arg << "\n\n" << usage;
        return 2;
    }
    const auto engine = tw::makeBuiltinRuleEngine();
    tw::EventWriter writer(1);
    return tw::runWatcher(*engine, writer, tw::WatchOptions{});
}
