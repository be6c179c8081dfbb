#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What a viewer window is opened for: the finding's file and what the rule found in it.
struct ViewerSubject
{
    QString path;
    QByteArray nativePath; // the file's exact bytes when `path` cannot say them (a name that is not UTF-8)
    QString ruleName;
    QString severity;    // the watcher's word: "critical", "high", "warning" or another
    QString description; // the rule's own explanation; may be empty
    QList<int> lines;    // 1-based lines of the file that matched, ascending; may be empty
};
