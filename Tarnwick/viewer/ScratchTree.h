#pragma once

// The diff loader's scratch folder, written only relative to the folder's own descriptor. Every
// folder on the way is opened with O_NOFOLLOW and every file is created anew (O_EXCL, O_NOFOLLOW), so
// no name an inspected repository chooses can lead a write outside, whatever already lies there.
// Nothing here ever makes a symbolic link.

#include <QByteArray>
#include <QString>

class ScratchTree
{
public:
    explicit ScratchTree(const QString& root);
    ~ScratchTree();
    ScratchTree(const ScratchTree&) = delete;
    ScratchTree& operator=(const ScratchTree&) = delete;

    bool isValid() const { return m_root >= 0; }
    // The folders of `relative` ("a/b/c"), made where missing.
    bool makeFolders(const QByteArray& relative) const;
    // A new regular file at `relative`, its folders made where missing; fails if the name is taken.
    bool writeFile(const QByteArray& relative, const QByteArray& bytes, bool executable) const;

private:
    // A descriptor of the folder `relative` (the root for ""), or -1. The caller closes it.
    int openFolder(const QByteArray& relative) const;

    int m_root = -1;
};
