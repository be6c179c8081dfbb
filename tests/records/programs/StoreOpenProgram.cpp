// Opens a store the way the application's entry does: a store that cannot be opened ends the process.
#include "records/OpenStore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: tw_store_open_program <store file>\n", stderr);
        return 2;
    }
    auto container = openStoreOrDie(QString::fromLocal8Bit(argv[1]));
    std::printf("opened %d\n", container->mainContext().countDirectories().value_or(-1));
    return 0;
}
