// A stand-in for twwatch that plays a script, for the supervision and framing tests.
//
// It takes no arguments, like the real watcher; the test hands it its script through the inherited
// environment:
//   TW_SCRIPT  file with one command per line:
//                write <text>      writes <text> in one write(); \n, \\ and \xHH escapes are decoded
//                sleep <ms>        pauses
//                await <n>         waits until n bytes of standard input have arrived
//                exit <code>       exits at once with that status
//                stdin-limit <n>   (anywhere in the script) closes standard input after n bytes, as a
//                                  watcher that stops reading would; the script itself goes on
//              After the last command it waits for the end of standard input and exits 0.
//   TW_STDIN   file that receives every byte read from standard input, flushed at once.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::mutex mutex;
std::condition_variable changed;
size_t stdinBytes = 0;
bool stdinEnded = false;

void readStdin(const char* recordPath, size_t limit)
{
    FILE* record = recordPath ? std::fopen(recordPath, "ab") : nullptr;
    char buffer[4096];
    ssize_t n;
    while (stdinBytes < limit &&
           (n = ::read(STDIN_FILENO, buffer, std::min(sizeof buffer, limit - stdinBytes))) > 0) {
        if (record) {
            std::fwrite(buffer, 1, size_t(n), record);
            std::fflush(record);
        }
        std::lock_guard lock(mutex);
        stdinBytes += size_t(n);
        changed.notify_all();
    }
    ::close(STDIN_FILENO);
    if (record)
        std::fclose(record);
    std::lock_guard lock(mutex);
    stdinEnded = true;
    changed.notify_all();
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
    std::vector<std::string> lines;
    size_t stdinLimit = SIZE_MAX;
    std::ifstream script(scriptPath ? scriptPath : "/dev/null");
    for (std::string line; std::getline(script, line); lines.push_back(line)) {
        if (line.starts_with("stdin-limit "))
            stdinLimit = std::stoul(line.substr(12));
    }
    std::thread(readStdin, std::getenv("TW_STDIN"), stdinLimit).detach();

    for (const std::string& line : lines) {
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
        } else if (command == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(argument)));
        } else if (command == "await") {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return stdinBytes >= std::stoul(argument) || stdinEnded; });
        } else if (command == "exit") {
            std::_Exit(std::stoi(argument));
        }
    }
    std::unique_lock lock(mutex);
    changed.wait(lock, [] { return stdinEnded; });
    return 0;
}
