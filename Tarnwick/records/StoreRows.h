#pragma once

#include "Directory.h"
#include "Finding.h"

#include <QSqlQuery>
#include <QString>

// How records map to rows of the store file. Column lists here and in the statements that use them
// must match.
namespace StoreRows {

inline constexpr const char* DirectoryColumns =
    "uid, url, watchNewFiles, watchNewDirectories, isRepository, isPromptFolder";
inline constexpr const char* FindingColumns =
    "uid, path, ruleName, severity, eventTypes, timestamp, pathBytes, description, lines";

void bind(QSqlQuery& q, const Directory& directory);
void bind(QSqlQuery& q, const Finding& finding);

// Reads the current row of a query that selected the columns above, in that order.
Directory readDirectory(const QSqlQuery& q);
Finding readFinding(const QSqlQuery& q);

} // namespace StoreRows
