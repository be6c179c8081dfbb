// Saves findings batch after batch, printing each saved count, until the durability test kills it.
#include "records/OpenStore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    auto container = openStoreOrDie(QString::fromLocal8Bit(argv[1]));
    ModelContext& context = container->mainContext();
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
