// A stand-in for twwatch that plays a script, for the supervision tests. Like the real watcher it takes no
// arguments; the inherited environment names its files:
//   TW_SCRIPT  file with one command per line:
//                write <text>    writes <text> in one write(); \n, \\ and \xHH escapes are decoded
//                await <n>       reads standard input until n bytes in all have arrived (or it ends)
//                close-stdin     closes standard input, as a watcher that stops reading would
//                sleep <ms>      pauses
//                exit <code>     exits at once with that status
//              After the last command it reads standard input to its end and exits 0.
//   TW_STDIN   file that receives every byte read from standard input, flushed at once.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

FILE* record = nullptr;
size_t stdinBytes = 0;

void readStdinUntil(size_t total)
{
    char buffer[4096];
    ssize_t n = 1;
    while (stdinBytes < total && (n = ::read(STDIN_FILENO, buffer, sizeof buffer)) > 0) {
        stdinBytes += size_t(n);
        if (record) {
            std::fwrite(buffer, 1, size_t(n), record);
            std::fflush(record);
        }
    }
}

std::string unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] == '\\' && i + 1 < text.size() ? text[++i] : '\0';
        if (!c) {
            out += text[i];
        } else if (c == 'n') {
            out += '\n';
        } else if (c == 'x' && i + 2 < text.size()) {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

int main()
{
    const char* scriptPath = std::getenv("TW_SCRIPT");
    const char* recordPath = std::getenv("TW_STDIN");
    record = recordPath ? std::fopen(recordPath, "ab") : nullptr;
    std::ifstream script(scriptPath ? scriptPath : "/dev/null");
    for (std::string line; std::getline(script, line);) {
        const auto space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string argument = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (command == "write") {
            const std::string bytes = unescape(argument);
            for (size_t done = 0; done < bytes.size();) {
                const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
                if (n <= 0)
                    std::_Exit(3);
                done += size_t(n);
            }
        } else if (command == "await") {
            readStdinUntil(std::stoul(argument));
        } else if (command == "close-stdin") {
            ::close(STDIN_FILENO);
        } else if (command == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(argument)));
        } else if (command == "exit") {
            std::_Exit(std::stoi(argument));
        }
    }
    readStdinUntil(SIZE_MAX);
    return 0;
}
