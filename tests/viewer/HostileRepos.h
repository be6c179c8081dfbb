#pragma once

// Repositories whose configuration makes plain `git diff HEAD` start a program of the repository's
// choosing. Each program appends to a marker file outside the repository, so a test can tell whether
// anything ran. A "twin" without the hostile configuration gives the diff the viewer must show.

#include "TestRepo.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

enum class HostileKind {
    Fsmonitor,     // core.fsmonitor names a hook script
    ExternalDiff,  // diff.external
    Textconv,      // .gitattributes diff=evil, diff.evil.textconv
    CleanFilter,   // .gitattributes filter=evil, filter.evil.clean
    ProcessFilter, // .gitattributes filter=evil, filter.evil.process
    EolFilter,     // a clean filter beside the eol attributes the viewer reads, on a CRLF file
    IndexHook,     // post-index-change hook, fired when a refresh rewrites the index
    PromisorFetch, // partial clone whose missing blob is fetched through an ext:: command
};

struct HostileCase
{
    const char* name;
    HostileKind kind;
    const char* attributes; // .gitattributes of the repository
    const char* configKey;  // set to a planted script; nullptr: none
    const char* scriptRest; // what the script does after marking
};

const std::vector<HostileCase>& hostileCases();

struct HostileSetup
{
    std::unique_ptr<QTemporaryDir> markers;
    std::unique_ptr<TestRepo> repo;
    std::unique_ptr<TestRepo> twin; // same files and history, nothing configured; none for a fetch
    QString file;                   // absolute path of the file the viewer opens
    QString marker;                 // appended to by every hostile program

    bool markerExists() const;
    void clearMarker() const;
    // What the viewer must show: the twin's plain diff ("" for a blob that cannot be fetched).
    QByteArray expectedDiff() const;
};

// Builds the repository with the file modified since HEAD (for IndexHook: touched, same content).
HostileSetup makeHostileRepo(const HostileCase& c);
