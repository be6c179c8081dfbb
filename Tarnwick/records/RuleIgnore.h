#pragma once

#include "Finding.h"

#include <QDateTime>
#include <QList>
#include <QString>

// "Ignore this rule here": findings of `ruleName` on the file `path`, or with isFolder on any path
// below the folder `path`, are still stored but neither notified nor listed by default. Matching goes
// by whole path components: the folder /a/b covers /a/b/c, never /a/bc.
class RuleIgnore
{
public:
    RuleIgnore() = default;
    // A trailing "/" is dropped (the root stays "/"), so "/a/b/" and "/a/b" are one ignore.
    // `created` defaults to now.
    RuleIgnore(QString ruleName, QString path, bool isFolder, QDateTime created = {});

    const QString& ruleName() const { return m_ruleName; }
    const QString& path() const { return m_path; }
    bool isFolder() const { return m_isFolder; }
    const QDateTime& created() const { return m_created; }

    bool covers(const QString& ruleName, const QString& path) const;
    bool covers(const Finding& finding) const { return covers(finding.ruleName(), finding.path()); }

    // Two ignores of the same rule, path and kind are one; the time plays no part.
    friend bool operator==(const RuleIgnore& a, const RuleIgnore& b)
    {
        return a.m_ruleName == b.m_ruleName && a.m_path == b.m_path && a.m_isFolder == b.m_isFolder;
    }

private:
    QString m_ruleName;
    QString m_path;
    bool m_isFolder = false;
    QDateTime m_created;
};

bool isIgnored(const QList<RuleIgnore>& ignores, const Finding& finding);
