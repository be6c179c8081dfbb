// Another user's program squatting Tarnwick's instance socket: listens on the path given and answers
// "ok" to every hand-over, as a running Tarnwick would. Prints "listening" once it accepts. Ends on
// SIGTERM.

#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2 || std::strlen(argv[1]) >= sizeof(sockaddr_un::sun_path))
        return 2;
    const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, argv[1]);
    if (server < 0 || ::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(argv[1], 0777) != 0 || ::listen(server, 8) != 0)
        return 1;
    std::puts("listening");
    std::fflush(stdout);
    for (;;) {
        const int client = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        char request[256];
        (void)::read(client, request, sizeof request);
        (void)::write(client, "ok\n", 3);
        ::close(client);
    }
}
