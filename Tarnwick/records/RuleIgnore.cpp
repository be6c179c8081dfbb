#include "RuleIgnore.h"

#include <algorithm>
#include <utility>

RuleIgnore::RuleIgnore(QString ruleName, QString path, bool isFolder, QDateTime created)
    : m_ruleName(std::move(ruleName))
    , m_path(std::move(path))
    , m_isFolder(isFolder)
    , m_created(created.isValid() ? created.toUTC() : QDateTime::currentDateTimeUtc())
{
    while (m_path.size() > 1 && m_path.endsWith(QLatin1Char('/')))
        m_path.chop(1);
}

bool RuleIgnore::covers(const QString& ruleName, const QString& path) const
{
    if (ruleName != m_ruleName)
        return false;
    if (path == m_path)
        return true;
    if (!m_isFolder)
        return false;
    if (m_path == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path.size() > m_path.size() && path.startsWith(m_path) &&
           path.at(m_path.size()) == QLatin1Char('/');
}

bool isIgnored(const QList<RuleIgnore>& ignores, const Finding& finding)
{
    return std::any_of(ignores.cbegin(), ignores.cend(),
                       [&](const RuleIgnore& ignore) { return ignore.covers(finding); });
}
