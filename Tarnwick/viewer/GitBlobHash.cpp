#include "viewer/GitBlobHash.h"

#include <QCryptographicHash>

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

std::optional<QByteArray> gitBlobIdOfFile(const BoundedFile& file, int hexLength, const ReadBounds& bounds)
{
    QCryptographicHash hash(algorithmFor(hexLength));
    hash.addData(blobHeader(file.size()));
    qint64 total = 0;
    const ReadEnd end = file.read(file.size(), bounds, [&](QByteArrayView part) {
        hash.addData(part);
        total += part.size();
    });
    // A file that changed size while it was read no longer matches the header.
    if (end != ReadEnd::Whole || total != file.size())
        return std::nullopt;
    return hash.result().toHex();
}

std::optional<QByteArray> gitBlobIdOfFile(const QString& path, int hexLength, const ReadBounds& bounds)
{
    const std::optional<BoundedFile> file = BoundedFile::open(path, BoundedFile::Links::Refuse);
    if (!file)
        return std::nullopt;
    return gitBlobIdOfFile(*file, hexLength, bounds);
}

QByteArray gitBlobIdOfBytes(const QByteArray& bytes, int hexLength)
{
    QCryptographicHash hash(algorithmFor(hexLength));
    hash.addData(blobHeader(bytes.size()));
    hash.addData(bytes);
    return hash.result().toHex();
}
