#include "PersistentIdentifier.h"

PersistentIdentifier PersistentIdentifier::create()
{
    return PersistentIdentifier(QUuid::createUuid());
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
