// twwatch: watches directories named on standard input and prints every rule match as a JSON line.

#include "rules/RuleLoader.h"
#include "watch/EventWriter.h"
#include "watch/ExitCode.h"
#include "watch/WatchLoop.h"

#include <cstdlib>
#include <iostream>
#include <malloc.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view usage = R"(Usage: twwatch [--help | --version | --check-rules | --scan DIR...]

Watches directories recursively and prints one JSON line for every change that matches a rule.

Standard input carries the directories to watch: one absolute path per line, each list ended by an
empty line. Every list replaces the previous one; an empty list (a lone empty line) watches nothing.
  printf '/home/me/src\n\n' | twwatch

Standard output: one JSON object per line with "path", "types" (change words: created, modified,
attributes, moved, deleted, rescanned, existing), "rule" and "severity", then, when there are any,
"description" (the rule's description meta) and "lines" (ascending 1-based numbers of the first lines
the rule's strings matched on, at most 16; absent when the match is not tied to lines). The watcher's
own problems (queue overflow, watch limit, unreadable directories) come as lines with severity
"warning".

twwatch ends at the end of its standard input (unless its output is a terminal), on SIGTERM, SIGINT
or SIGHUP, and quietly when its standard output goes away.

Rules: the bundled pack in rules/ beside this executable, then your own *.yar files in
$XDG_CONFIG_HOME/tarnwick/rules/ (~/.config/tarnwick/rules/).

Options:
  --help          show this text
  --version       show the version
  --check-rules   compile every rule file and report what loads and what is refused
  --scan DIR...   evaluate every file under the directories once and print the matches

Exit status:
  0  done: ended as asked, every scanned folder walked, every rule loaded
  1  --check-rules: a rule file or rule was refused, or no rule loaded
  2  unknown or incomplete arguments
  3  --scan: a folder could not be read (the others were still scanned)
  4  the system refused what the work needs (event loop, libyara)
)";

} // namespace

int main(int argc, char** argv)
{
    tw::ignoreSigpipe();
    if (argc > 1) {
        const std::string_view arg = argv[1];
        if (arg == "--help" || arg == "-h") {
            std::cout << usage;
            return tw::exitStatus(tw::ExitCode::Ok);
        }
        if (arg == "--version") {
            std::cout << "twwatch " << TW_VERSION << '\n';
            return tw::exitStatus(tw::ExitCode::Ok);
        }
        if (arg == "--check-rules" && argc == 2)
            return tw::runCheckRules(tw::RuleLoadOptions{}, std::cout, std::cerr);
        if (arg == "--scan" && argc > 2)
            return tw::runScan(std::vector<std::string>(argv + 2, argv + argc), tw::RuleLoadOptions{},
                               std::cerr);
        std::cerr << "twwatch: unknown or incomplete arguments: " << arg << "\n\n" << usage;
        return tw::exitStatus(tw::ExitCode::Usage);
    }
    // The watcher stays resident all day, so what glibc keeps after a burst matters more than a little
    // allocation speed. A fixed mmap threshold stops glibc from raising it after the first large read
    // buffer is freed (which would keep every later 1 MiB window in a heap that never shrinks), and
    // one arena per two workers stops each worker thread from holding its own high-water mark.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_ARENA_MAX, 2);
    tw::RuleLoadOptions ruleOptions;
    ruleOptions.grouping = tw::RuleGrouping::OneSet; // resident for as long as the watcher runs
    const auto engine = tw::loadRuleEngine(ruleOptions, std::cerr);
    tw::EventWriter writer(1);
    tw::WatchOptions options;
    // A small bound lets the tests and benchmarks reach it without a million files.
    if (const char* limit = std::getenv("TWWATCH_PENDING_LIMIT"); limit && std::atol(limit) > 0)
        options.pendingLimit = static_cast<size_t>(std::atol(limit));
    // The tests of the catch-up set it to 0, to tell a file left alone from one changed meanwhile.
    if (const char* margin = std::getenv("TWWATCH_STATE_MARGIN_MS"); margin && std::atol(margin) >= 0)
        options.stateMarginNs = std::atoll(margin) * 1'000'000LL;
    return tw::runWatcher(*engine, writer, options);
}
