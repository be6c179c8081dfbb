#include "Finding.h"

#include <utility>

Finding::Finding(QString path, QString ruleName, QString severity, QStringList eventTypes,
                 QByteArray pathBytes, QString description, QList<int> lines)
    : m_id(PersistentIdentifier::create())
    , m_path(std::move(path))
    , m_pathBytes(std::move(pathBytes))
    , m_ruleName(std::move(ruleName))
    , m_severity(std::move(severity))
    , m_eventTypes(std::move(eventTypes))
    , m_timestamp(QDateTime::currentDateTimeUtc())
    , m_description(std::move(description))
    , m_lines(std::move(lines))
{
}

Finding Finding::materialize(const PersistentIdentifier& id, QString path, QString ruleName, QString severity,
                             QStringList eventTypes, QDateTime timestamp, QByteArray pathBytes,
                             QString description, QList<int> lines)
{
    Finding f;
    f.m_id = id;
    f.m_path = std::move(path);
    f.m_pathBytes = std::move(pathBytes);
    f.m_ruleName = std::move(ruleName);
    f.m_severity = std::move(severity);
    f.m_eventTypes = std::move(eventTypes);
    f.m_timestamp = timestamp.toUTC();
    f.m_description = std::move(description);
    f.m_lines = std::move(lines);
    return f;
}
