#pragma once

#include "PersistentIdentifier.h"

#include <QString>
#include <QUrl>

// One directory the user asked to watch. Created with watchNewFiles on and never edited afterwards: the
// store only inserts and deletes directories. The identity is drawn when the record is created and kept
// through insert, save and reload; copies share the identity of the record they copy.
class Directory
{
public:
    Directory() = default; // a null record (invalid id); only useful as a placeholder
    explicit Directory(const QUrl& url);

    // For the store: a record read back from the file, with its kept identity.
    static Directory materialize(const PersistentIdentifier& id, const QUrl& url, bool watchNewFiles,
                                 bool watchNewDirectories, bool isRepository, bool isPromptFolder);

    const PersistentIdentifier& id() const { return m_id; }
    const QUrl& url() const { return m_url; }
    // The URL's local path, percent-decoded, without a trailing slash ("/" stays "/"). Empty when the URL
    // is not a file URL.
    QString path() const;
    bool watchNewFiles() const { return m_watchNewFiles; }
    bool watchNewDirectories() const { return m_watchNewDirectories; }
    bool isRepository() const { return m_isRepository; }
    bool isPromptFolder() const { return m_isPromptFolder; }

    // Identity only: two directories with the same URL and flags are still two records.
    friend bool operator==(const Directory& a, const Directory& b) { return a.m_id == b.m_id; }
    friend size_t qHash(const Directory& d, size_t seed = 0) noexcept { return qHash(d.m_id, seed); }

private:
    PersistentIdentifier m_id;
    QUrl m_url;
    bool m_watchNewFiles = false;
    bool m_watchNewDirectories = false;
    bool m_isRepository = false;
    bool m_isPromptFolder = false;
};

template <>
struct std::hash<Directory>
{
    size_t operator()(const Directory& d) const noexcept { return qHash(d); }
};
