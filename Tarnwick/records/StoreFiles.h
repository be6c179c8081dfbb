#pragma once

#include <QString>

// The store file and its folder on disk. The findings name the user's files, so both are kept
// readable by their owner only.
namespace StoreFiles {

// Creates `folder` and any missing parent, each owner-only (0700). False and `error` on failure.
bool ensureFolder(const QString& folder, QString* error);

// Makes an existing folder owner-only; used for the application's own data folder.
void restrictFolder(const QString& folder);

// Creates an empty file owner-only (0600); fails if it exists. False and `error` on failure, with errno
// kept (EEXIST for a name that is taken).
bool createFile(const QString& path, QString* error);

// Makes the store file and its WAL companions owner-only.
void restrictFile(const QString& path);

// Removes a store file this process created (and its companions), after creating it failed half-way.
void removeCreated(const QString& path);

// Why `path` cannot serve as an existing store file, or an empty string when it can.
QString unusableReason(const QString& path);

} // namespace StoreFiles
