// The Diff tab's loader against real repositories made with /usr/bin/git: for a repository that
// configures nothing of its own, the result must be exactly what `git diff HEAD -- <name>` prints.

#include "viewer/GitDiffLoader.h"

#include "TestRepo.h"

#include <QFile>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>

namespace {

// Writes an executable shell script standing in for git.
bool writeScript(const QString& path, const QByteArray& body)
{
    QFile script(path);
    return script.open(QIODevice::WriteOnly) && script.write("#!/bin/sh\n" + body) > 0 &&
           script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

using RepoSetUp = std::function<void(TestRepo&)>;

RepoSetUp edit(const char* file, const QByteArray& content, bool stage = false)
{
    return [=](TestRepo& r) {
        r.write(QString::fromUtf8(file), content);
        if (stage)
            r.plumb({"add", QString::fromUtf8(file)});
    };
}

TEST(ViewerGitDiffLoader, MatchesPlainGitDiffHead)
{
    const struct
    {
        const char* name;
        const char* file; // what the viewer opens, relative to the repository
        RepoSetUp setUp;
        bool expectChanges;
    } cases[] = {
        {"tracked file with changes", "notes.txt", edit("notes.txt", "one\n2\nthree\nfour\n"), true},
        {"unchanged file", "notes.txt", [](TestRepo&) {}, false},
        {"untracked file", "new.txt", edit("new.txt", "fresh\n"), false},
        {"deleted file", "gone.txt", [](TestRepo& r) { r.remove("gone.txt"); }, true},
        {"name starting with a dash", "-dash.txt", edit("-dash.txt", "dash!\n"), true},
        {"missing final line feed", "notes.txt", edit("notes.txt", "one\ntwo\nthree"), true},
        // Its content holds the header line that --no-index writes for an added file.
        {"staged new file", "staged.txt", edit("staged.txt", "diff --git b/staged.txt b/staged.txt\n", true),
         true},
        {"file in a subdirectory", "src/deep/main.c",
         [](TestRepo& r) {
             r.write("src/deep/main.c", "int main(void) { return 1; }\n");
             r.write("src/other.c", "also changed, but not asked for\n");
         },
         true},
        {"directory path", "src",
         [](TestRepo& r) {
             r.write("src/deep/main.c", "changed\n");
             r.remove("src/other.c");
             edit("src/added.c", "staged\n", true)(r);
             r.write("src/untracked.c", "not shown\n");
         },
         true},
        {"executable bit added", "tool.sh",
         [](TestRepo& r) {
             QFile::setPermissions(r.path("tool.sh"),
                                   QFile::permissions(r.path("tool.sh")) | QFile::ExeOwner);
         },
         true},
        {"symbolic link retargeted", "link",
         [](TestRepo& r) {
             QFile::link("notes.txt", r.path("link"));
             r.commitAll();
             QFile::remove(r.path("link"));
             QFile::link("with space.txt", r.path("link"));
         },
         true},
        {"symbolic links in a folder, names git quotes", "src",
         [](TestRepo& r) {
             QFile::link("other.c", r.path("src/lien \u00e9"));
             QFile::link("deep", r.path("src/old\tlink"));
             r.commitAll();
             QFile::remove(r.path("src/old\tlink"));
             QFile::link("main.c", r.path("src/deep/new \"link\""));
             r.plumb({"add", "-A"});
         },
         true},
        {"index says removed, disk still has it", "notes.txt",
         [](TestRepo& r) {
             r.plumb({"rm", "-q", "--cached", "notes.txt"});
         },
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestRepo repo;
        repo.commitBase();
        c.setUp(repo);
        const QByteArray expected = repo.plainDiff(QString::fromUtf8(c.file));
        ASSERT_EQ(!expected.isEmpty(), c.expectChanges) << "the case does not set up what it says";
        EXPECT_EQ(loadGitDiff(repo.path(QString::fromUtf8(c.file))).toUtf8(), expected);
    }
}

// git compares the working file as `git add` would store it. Each case commits `committed` under
// core.autocrlf, then `attributes`, then writes `working`.
TEST(ViewerGitDiffLoader, CrlfFilesMatchPlainGitDiffHead)
{
    const QByteArray lf = "one\ntwo\nthree\n";
    const QByteArray crlfEdited = "one\r\nTWO\r\nthree\r\n";
    const QByteArray crlfSame = "one\r\ntwo\r\nthree\r\n";
    const struct
    {
        const char* name;
        QByteArray attributes; // empty: none
        const char* autocrlf;  // nullptr: unset
        QByteArray committed;
        QByteArray working;
        bool expectChanges;
    } cases[] = {
        {"no attributes: every CR is a change", "", nullptr, lf, crlfEdited, true},
        {"text=auto, only line ends changed", "* text=auto\n", nullptr, lf, crlfSame, false},
        {"text=auto keeps CRLF that is already committed", "* text=auto\n", nullptr, crlfSame, crlfEdited,
         true},
        {"text=auto leaves a lone CR alone", "* text=auto\n", nullptr, lf, "one\r\ntwo\rx\r\nthree\r\n",
         true},
        {"eol=crlf", "*.txt eol=crlf\n", nullptr, lf, crlfEdited, true},
        {"text", "*.txt text\n", nullptr, lf, "one\r\nTWO\rx\r\nthree\r\n", true},
        {"core.autocrlf=true", "", "true", lf, crlfEdited, true},
        {"core.autocrlf=input", "", "input", lf, crlfSame, false},
        {"-text wins over core.autocrlf", "*.txt -text\n", "true", lf, crlfEdited, true},
        {"legacy -crlf", "*.txt -crlf\n", "true", lf, crlfEdited, true},
    };
    const QString file = "doc.txt";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestRepo repo;
        repo.init();
        if (c.autocrlf)
            repo.plumb({"config", "core.autocrlf", QString::fromLatin1(c.autocrlf)});
        repo.write(file, c.committed);
        repo.commitAll();
        // After the first commit, so that CRLF already committed stays committed as CRLF.
        if (!c.attributes.isEmpty()) {
            repo.write(".gitattributes", c.attributes);
            repo.commitAll();
        }
        repo.write(file, c.working);
        const QByteArray expected = repo.plainDiff(file);
        ASSERT_EQ(!expected.isEmpty(), c.expectChanges) << expected.toStdString();
        EXPECT_EQ(loadGitDiff(repo.path(file)).toUtf8(), expected);
    }
}

// Wherever git gives no diff of the file as UTF-8, the Diff tab gets empty text, never an error.
TEST(ViewerGitDiffLoader, NothingToShowGivesEmptyText)
{
    QTemporaryDir outside;
    QFile(outside.filePath("loose.txt")).open(QIODevice::WriteOnly);
    EXPECT_EQ(loadGitDiff(outside.filePath("loose.txt")), QString());
    EXPECT_EQ(loadGitDiff(outside.filePath("missing/dir/file.txt")), QString());

    TestRepo noCommit;
    noCommit.init();
    edit("first.txt", "first\n", true)(noCommit);
    EXPECT_EQ(loadGitDiff(noCommit.path("first.txt")), QString());

    TestRepo repo;
    repo.commitBase();
    EXPECT_EQ(loadGitDiff(repo.path(".git/config")), QString());
    repo.write("latin1.txt", "th\xE9\n");
    ASSERT_TRUE(repo.plainDiff("latin1.txt").contains("th\xE9"));
    EXPECT_EQ(loadGitDiff(repo.path("latin1.txt")), QString());

    // A diff there is, but no git to run it, or the run is cancelled.
    const QString notes = repo.path("notes.txt");
    repo.write("notes.txt", "changed\n");
    ASSERT_FALSE(loadGitDiff(notes).isEmpty());
    GitDiffOptions missing;
    missing.gitProgram = "/nonexistent/git";
    EXPECT_EQ(loadGitDiff(notes, missing), QString());
    std::atomic<bool> cancelled{true};
    GitDiffOptions cancelling;
    cancelling.cancelled = &cancelled;
    EXPECT_EQ(loadGitDiff(notes, cancelling), QString());
}

TEST(ViewerGitDiffLoader, FileNamesAreNeverPatterns)
{
    TestRepo repo;
    repo.init();
    repo.write("a*.txt", "star\n");
    repo.write("ab.txt", "b\n");
    repo.commitAll();
    repo.write("a*.txt", "star changed\n");
    repo.write("ab.txt", "b changed\n");
    const QByteArray literal = repo.plumb({"diff", "HEAD", "--", ":(literal)a*.txt"}) + '\n';
    ASSERT_FALSE(literal.contains("ab.txt"));
    EXPECT_EQ(loadGitDiff(repo.path("a*.txt")).toUtf8(), literal);
}

// A side over the file bound is named instead of compared; a diff over its bound is cut after a
// whole line and ends with a note.
TEST(ViewerGitDiffLoader, BoundsNameOrCutWhatTheyLeaveOut)
{
    TestRepo repo;
    repo.init();
    QByteArray before, after;
    for (int i = 0; i < 2000; ++i) {
        before += "line " + QByteArray::number(i) + '\n';
        after += "LINE " + QByteArray::number(i) + '\n';
    }
    repo.write("big.txt", QByteArray(4096, 'x'));
    repo.write("long.txt", before);
    repo.commitAll();
    GitDiffOptions bounds;
    bounds.maxFileBytes = 1024;
    EXPECT_EQ(loadGitDiff(repo.path("big.txt"), bounds), QString()); // unchanged
    repo.write("big.txt", QByteArray(4096, 'y'));
    EXPECT_EQ(loadGitDiff(repo.path("big.txt"), bounds),
              diffTooLargeNote("big.txt", 1024) + QLatin1Char('\n'));

    repo.write("long.txt", after);
    bounds = GitDiffOptions{};
    bounds.maxDiffBytes = 4096;
    const QString diff = loadGitDiff(repo.path("long.txt"), bounds);
    ASSERT_TRUE(diff.endsWith(diffCutShortNote(4096) + QLatin1Char('\n')));
    const QString kept = diff.left(diff.size() - diffCutShortNote(4096).size() - 1);
    EXPECT_TRUE(QString::fromUtf8(repo.plainDiff("long.txt")).startsWith(kept));
    EXPECT_TRUE(kept.endsWith(QLatin1Char('\n')));
    EXPECT_LE(kept.toUtf8().size(), 4096);
}

TEST(ViewerGitDiffLoader, AGitThatHangsIsStoppedAtTheTimeBound)
{
    QTemporaryDir dir;
    const QString pidFile = dir.filePath("pid");
    const QString fake = dir.filePath("git");
    ASSERT_TRUE(writeScript(fake, QStringLiteral("echo $$ > '%1'\nexec sleep 60\n").arg(pidFile).toUtf8()));
    TestRepo repo;
    repo.commitBase();
    GitDiffOptions options;
    options.gitProgram = fake;
    options.timeout = std::chrono::milliseconds(300);
    EXPECT_EQ(loadGitDiff(repo.path("notes.txt"), options), QString());
    QFile pid(pidFile);
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    const pid_t hung = static_cast<pid_t>(pid.readAll().trimmed().toInt());
    ASSERT_GT(hung, 0);
    EXPECT_NE(::kill(hung, 0), 0); // killed and reaped
}

TEST(ViewerGitDiffLoader, GitRunsInItsOwnSessionWithNoInputAndAClearedEnvironment)
{
    QTemporaryDir dir;
    const QString fake = dir.filePath("git");
    ASSERT_TRUE(writeScript(
        fake,
        "set -- $(cat /proc/$$/stat)\n"
        "echo \"$1 $6\"\n"
        "if read line; then echo stdin=data; else echo stdin=eof; fi\n"
        "echo \"dir=${GIT_DIR:-unset} ext=${GIT_EXTERNAL_DIFF:-unset} nosystem=$GIT_CONFIG_NOSYSTEM\"\n"));
    qputenv("GIT_DIR", "/somewhere/else");
    qputenv("GIT_EXTERNAL_DIFF", "/bin/false");
    GitRunLimits limits{std::chrono::steady_clock::now() + std::chrono::seconds(20), 1 << 16, nullptr};
    const GitRunResult result = runGit(fake, {}, dir.path(), dir.path(), {}, limits);
    qunsetenv("GIT_DIR");
    qunsetenv("GIT_EXTERNAL_DIFF");
    ASSERT_TRUE(result.finished);
    const QList<QByteArray> lines = result.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3) << result.out.toStdString();
    // Session id equal to its pid: no controlling terminal of ours.
    const QList<QByteArray> ids = lines[0].split(' ');
    ASSERT_EQ(ids.size(), 2);
    EXPECT_EQ(ids[0], ids[1]);
    EXPECT_EQ(lines[1], QByteArray("stdin=eof"));
    EXPECT_EQ(lines[2], QByteArray("dir=unset ext=unset nosystem=1"));
}

} // namespace
