#pragma once

#include "PersistentIdentifier.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// One recorded watcher event. Values are kept exactly as received (no trimming, no case folding, an empty
// eventTypes list is fine). Findings are never edited, only removed (cleared or dismissed). The identity is
// drawn when the record is created and kept through insert, save and reload; copies share the identity of the
// record they copy.
class Finding
{
public:
    Finding() = default; // a null record (invalid id); only useful as a placeholder
    // Stamps timestamp() with the current time (UTC, millisecond precision).
    // `pathBytes`: the exact bytes of a path that is not UTF-8 (`path` holds U+FFFD in their place).
    // `description` and `lines` explain the match (see description() and lines()).
    Finding(QString path, QString ruleName, QString severity, QStringList eventTypes,
            QByteArray pathBytes = {}, QString description = {}, QList<int> lines = {});

    // For the store: a record read back from the file, with its kept identity and time of intake.
    static Finding materialize(const PersistentIdentifier& id, QString path, QString ruleName,
                               QString severity, QStringList eventTypes, QDateTime timestamp,
                               QByteArray pathBytes = {}, QString description = {}, QList<int> lines = {});

    const PersistentIdentifier& id() const { return m_id; }
    // For showing; a name that is not UTF-8 has U+FFFD in place of its odd bytes.
    const QString& path() const { return m_path; }
    // The file's name as bytes, exactly as the watcher saw it: what opening the file must use.
    QByteArray nativePath() const { return m_pathBytes.isEmpty() ? m_path.toUtf8() : m_pathBytes; }
    const QByteArray& pathBytes() const { return m_pathBytes; }
    const QString& ruleName() const { return m_ruleName; }
    const QString& severity() const { return m_severity; }
    const QStringList& eventTypes() const { return m_eventTypes; }
    const QDateTime& timestamp() const { return m_timestamp; }
    // What the rule looks for, as its author put it; empty when the watcher sent none.
    const QString& description() const { return m_description; }
    // 1-based, ascending line numbers of the first matches; empty when the match has no line.
    const QList<int>& lines() const { return m_lines; }

    // Identity only: the same event reported twice gives two findings that are not equal.
    friend bool operator==(const Finding& a, const Finding& b) { return a.m_id == b.m_id; }
    friend size_t qHash(const Finding& f, size_t seed = 0) noexcept { return qHash(f.m_id, seed); }

private:
    PersistentIdentifier m_id;
    QString m_path;
    QByteArray m_pathBytes;
    QString m_ruleName;
    QString m_severity;
    QStringList m_eventTypes;
    QDateTime m_timestamp;
    QString m_description;
    QList<int> m_lines;
};

template <>
struct std::hash<Finding>
{
    size_t operator()(const Finding& f) const noexcept { return qHash(f); }
};
