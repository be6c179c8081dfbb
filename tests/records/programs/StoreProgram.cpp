// Opens a store the way the application's entry does: a store that cannot be opened ends the process.
// With "write", it then inserts and saves findings one save after another, reporting each saved count
// on stdout, until it is killed: the durability test kills it with SIGKILL in the middle of its work.
#include "records/OpenStore.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: tw_store_program open|write <store file>\n", stderr);
        return 2;
    }
    auto container = openStoreOrDie(QString::fromLocal8Bit(argv[2]));
    ModelContext& context = container->mainContext();
    if (std::strcmp(argv[1], "write") != 0) {
        std::printf("opened %d\n", context.countDirectories().value_or(-1));
        return 0;
    }
    for (long saved = 0;;) {
        // Batches of varying size, so the kill lands at different points of a transaction.
        const int batch = 1 + int(saved % 7) * 5;
        for (int i = 0; i < batch; ++i) {
            Finding f(QStringLiteral("/work/file-%1").arg(saved + i), QStringLiteral("rule"),
                      QStringLiteral("high"), {QStringLiteral("modified")});
            context.insert(f);
        }
        if (!context.save())
            return 1;
        saved += batch;
        std::printf("saved %ld\n", saved);
        std::fflush(stdout);
    }
}
