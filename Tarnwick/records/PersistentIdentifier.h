#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHashFunctions>
#include <QString>
#include <QUuid>

#include <compare>
#include <cstddef>
#include <functional>

// The store-wide identity of a record. Records compare and hash by it alone, never by their values, and
// the application keys per-record state (open viewer windows) by it. Kept in the store file as the 16
// bytes of a random UUID, so an identity never changes when a record is saved, reloaded or reopened.
class PersistentIdentifier
{
public:
    PersistentIdentifier() = default; // the null identifier: no record

    static PersistentIdentifier create();
    // Null when `bytes` is not exactly one identifier's 16 bytes.
    static PersistentIdentifier fromBytes(QByteArrayView bytes);

    bool isValid() const { return !m_uuid.isNull(); }
    QString toString() const;   // "{xxxxxxxx-...}", stable across runs
    QByteArray toBytes() const; // the form kept in the store file
    QUuid uuid() const { return m_uuid; }

    friend bool operator==(const PersistentIdentifier& a, const PersistentIdentifier& b) = default;
    friend bool operator<(const PersistentIdentifier& a, const PersistentIdentifier& b)
    {
        return a.m_uuid < b.m_uuid;
    }
    friend size_t qHash(const PersistentIdentifier& id, size_t seed = 0) noexcept
    {
        return qHash(id.m_uuid, seed);
    }

private:
    explicit PersistentIdentifier(const QUuid& uuid)
        : m_uuid(uuid)
    {
    }

    QUuid m_uuid;
};

template <>
struct std::hash<PersistentIdentifier>
{
    size_t operator()(const PersistentIdentifier& id) const noexcept { return qHash(id); }
};
