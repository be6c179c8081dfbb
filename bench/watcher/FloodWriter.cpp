// A watcher stand-in that writes TW_FLOOD_LINES event lines (default 200000) to standard output as
// fast as it can, then waits for the end of its standard input like the real watcher.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main()
{
    const char* count = std::getenv("TW_FLOOD_LINES");
    const long lines = count ? std::strtol(count, nullptr, 10) : 200000;
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    for (long i = 0; i < lines; ++i) {
        std::printf("{\"path\":\"/home/dev/project/src/file%ld.js\",\"types\":[\"created\",\"modified\"],"
                    "\"rule\":\"rule-%ld\",\"severity\":\"%s\"}\n",
                    i, i % 50, i % 3 == 0 ? "critical" : (i % 3 == 1 ? "high" : "warning"));
    }
    std::fflush(stdout);
    char sink[4096];
    while (::read(STDIN_FILENO, sink, sizeof sink) > 0) {
    }
    return 0;
}
