#include "OpenStore.h"

#include <cstdio>
#include <cstdlib>

std::unique_ptr<ModelContainer> openStoreOrDie(const QString& filePath)
{
    QString error;
    std::unique_ptr<ModelContainer> container = ModelContainer::open(filePath, &error);
    if (!container) {
        const QByteArray message =
            QStringLiteral("Could not create ModelContainer: %1\n").arg(error).toLocal8Bit();
        std::fputs(message.constData(), stderr);
        std::fflush(stderr);
        std::exit(EXIT_FAILURE);
    }
    return container;
}
