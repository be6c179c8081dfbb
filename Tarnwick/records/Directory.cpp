#include "Directory.h"

Directory::Directory(const QUrl& url)
    : m_id(PersistentIdentifier::create())
    , m_url(url)
    , m_watchNewFiles(true)
{
}

Directory Directory::materialize(const PersistentIdentifier& id, const QUrl& url, bool watchNewFiles,
                                 bool watchNewDirectories, bool isRepository, bool isPromptFolder)
{
    Directory d;
    d.m_id = id;
    d.m_url = url;
    d.m_watchNewFiles = watchNewFiles;
    d.m_watchNewDirectories = watchNewDirectories;
    d.m_isRepository = isRepository;
    d.m_isPromptFolder = isPromptFolder;
    return d;
}

QString Directory::path() const
{
    if (!m_url.isLocalFile())
        return {};
    // toLocalFile() percent-decodes; the watcher and the window want the plain path without a trailing
    // slash, while the root stays "/".
    QString p = m_url.toLocalFile();
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p;
}
