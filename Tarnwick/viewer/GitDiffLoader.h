#pragma once

// The Diff tab's text: git's unified diff of a file against HEAD, as `git diff HEAD -- <name>` run in
// the file's folder prints it, produced without starting any program the inspected repository names.
//
// A repository can make `git diff` run programs of its own: an fsmonitor hook, an external diff tool,
// textconv drivers and clean filters from .gitattributes, a post-index-change hook when the index is
// refreshed. So git is only asked to *read* the repository, with plumbing that runs none of them
// (rev-parse, ls-tree, ls-files, cat-file, with core.fsmonitor and hooks switched off). The committed
// blobs and the current files are copied into a private scratch folder outside any repository, and
// `git diff --no-index` compares the copies there with no system, global or repository configuration
// and no attributes, so no filter, driver or tool exists for it to run. Its headers already read
// a/<path> and b/<path> from the top of the work tree, like the original command.
//
// The working file gets git's end-of-line conversion (the text, eol and crlf attributes, read with
// check-attr, and core.autocrlf), done here (GitLineEndings), so CRLF files diff as git shows them.
//
// Differences from the plain command, all on the safe side: no clean filter, ident or
// working-tree-encoding is applied to the working file; content is always read, where git would trust
// the index for a file whose timestamps did not change; replace refs are ignored; a file name is never
// a glob or pathspec magic; submodules are left out.
//
// Blocking; meant for a worker thread. Never fails: "" when there is nothing to show or git fails.

#include "viewer/GitProcess.h"

#include <QString>

#include <atomic>
#include <chrono>

struct GitDiffOptions
{
    QString gitProgram = QString::fromLatin1(kGitProgram);
    // For the whole run, every git process included; past it the result is "".
    std::chrono::milliseconds timeout{15000};
    const std::atomic<bool>* cancelled = nullptr;
    // A side (committed or current) larger than this is not compared; a note says so.
    qint64 maxFileBytes = 32 * 1024 * 1024;
    // Diff text kept; past it the diff ends with a note.
    qint64 maxDiffBytes = 16 * 1024 * 1024;
    // Files under a directory path; more gives "".
    int maxPaths = 2000;
};

QString loadGitDiff(const QString& path, const GitDiffOptions& options = {});

// The notes the loader appends in place of what it does not show.
QString diffTooLargeNote(const QString& repoPath, qint64 maxFileBytes);
QString diffCutShortNote(qint64 maxDiffBytes);
// In place of the diff when the commit's tree or the index lists `repoPath` both as a file and as a
// folder: no checkout of it is possible, and recreating it is how such a tree attacks.
QString nestedTreeNote(const QString& repoPath);
