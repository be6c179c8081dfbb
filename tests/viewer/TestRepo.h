#pragma once

// Real git repositories in temporary folders, made with /usr/bin/git under a fixed identity and no
// system or global configuration; Qt Core only, for the GoogleTest and the QtTest programs alike.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// What plain `git diff HEAD -- <name>` prints in the file's folder: the reference output for
// repositories that configure nothing of their own, and the proof that a hostile one runs its program.
QByteArray plainGitDiff(const QString& file);

class TestRepo
{
public:
    // An empty temporary folder; init() makes it a repository.
    TestRepo();

    QString root() const { return m_dir.path(); }
    QString path(const QString& relative) const { return root() + QLatin1Char('/') + relative; }

    void init() { plumb({"init", "-q", "-b", "main"}); }
    QString write(const QString& relative, const QByteArray& content);
    // Executable by its owner only.
    QString writeProgram(const QString& relative, const QByteArray& content);
    void remove(const QString& relative) const { QFile::remove(path(relative)); }
    // Runs a git command that must succeed; its output without the final line feed.
    QByteArray plumb(const QStringList& args, const QByteArray& input = {}) const;
    void commitAll();
    // init() and one commit of the files the viewer tests change: names with a space, a leading dash
    // and a deep folder, a Latin-1 file, an empty one, one to delete and a script.
    void commitBase();

    QByteArray plainDiff(const QString& relative) const { return plainGitDiff(path(relative)); }

private:
    QTemporaryDir m_dir;
};
