#include "viewer/GitBlobHash.h"

#include <QCryptographicHash>
#include <QFile>

namespace {

QCryptographicHash::Algorithm algorithmFor(int hexLength)
{
    return hexLength == 64 ? QCryptographicHash::Sha256 : QCryptographicHash::Sha1;
}

QByteArray blobHeader(qint64 size)
{
    return "blob " + QByteArray::number(size) + '\0';
}

} // namespace

std::optional<QByteArray> gitBlobIdOfFile(const QString& path, int hexLength,
                                          const std::atomic<bool>* cancelled)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    QCryptographicHash hash(algorithmFor(hexLength));
    hash.addData(blobHeader(file.size()));
    qint64 total = 0;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (;;) {
        if (cancelled && cancelled->load())
            return std::nullopt;
        const qint64 got = file.read(chunk.data(), chunk.size());
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        hash.addData(QByteArrayView(chunk.constData(), got));
        total += got;
    }
    // The file changed size while it was read: the header no longer describes it.
    if (total != file.size())
        return std::nullopt;
    return hash.result().toHex();
}

QByteArray gitBlobIdOfBytes(const QByteArray& bytes, int hexLength)
{
    QCryptographicHash hash(algorithmFor(hexLength));
    hash.addData(blobHeader(bytes.size()));
    hash.addData(bytes);
    return hash.result().toHex();
}
