#include "PersistentIdentifier.h"

#include <QDateTime>
#include <QRandomGenerator>

#include <array>

// Time-ordered UUIDs (version 7 layout: 48 bits of Unix milliseconds, then random bits). New records sort
// after older ones, so the store's identity index grows at its right edge instead of being written all
// over for every insert; 74 random bits keep identities unique within a millisecond.
PersistentIdentifier PersistentIdentifier::create()
{
    const quint64 ms = quint64(QDateTime::currentMSecsSinceEpoch());
    quint64 random[2];
    QRandomGenerator::global()->fillRange(random);
    std::array<char, 16> b{};
    for (int i = 0; i < 6; ++i)
        b[i] = char(ms >> (40 - 8 * i));
    for (int i = 6; i < 16; ++i)
        b[i] = char(random[i / 8] >> (8 * (i % 8)));
    b[6] = char(0x70 | (b[6] & 0x0f)); // version 7
    b[8] = char(0x80 | (b[8] & 0x3f)); // RFC 4122 variant
    return PersistentIdentifier(QUuid::fromRfc4122(QByteArrayView(b.data(), b.size())));
}

PersistentIdentifier PersistentIdentifier::fromBytes(QByteArrayView bytes)
{
    if (bytes.size() != 16)
        return {};
    return PersistentIdentifier(QUuid::fromRfc4122(bytes));
}

QString PersistentIdentifier::toString() const
{
    return m_uuid.toString(QUuid::WithBraces);
}

QByteArray PersistentIdentifier::toBytes() const
{
    return m_uuid.toRfc4122();
}
