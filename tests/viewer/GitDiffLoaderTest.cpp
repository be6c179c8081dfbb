// The Diff tab's loader against real repositories made with /usr/bin/git: for a repository that
// configures nothing of its own, the result must be exactly what `git diff HEAD -- <name>` prints.

#include "viewer/GitDiffLoader.h"

#include "TestRepo.h"

#include <QFile>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

#include <sys/stat.h>

namespace {

// One repository with every kind of change at once: each path's diff is still only its own.
TEST(ViewerGitDiffLoader, MatchesPlainGitDiffHeadWithinItsBounds)
{
    TestRepo repo;
    repo.commitBase();
    repo.write("big.txt", QByteArray(4096, 'x'));
    repo.write("long.txt", QByteArray("line\n").repeated(2000));
    QFile::link("notes.txt", repo.path("link"));
    QFile::link("other.c", repo.path("src/lien \u00e9")); // names git quotes
    QFile::link("deep", repo.path("src/old\tlink"));
    repo.write("lf.txt", "one\ntwo\n");
    repo.write("kept.txt", "kept\n");
    repo.write("a*.txt", "a name that is no pattern\n");
    repo.write("ab.txt", "b\n");
    repo.commitAll();

    repo.write("notes.txt", "one\n2\nthree\nfour\n");
    repo.write("new.txt", "fresh\n");
    repo.remove("gone.txt");
    repo.write("-dash.txt", "dash!\n");
    repo.write("a*.txt", "changed\n");
    repo.write("ab.txt", "changed\n");
    repo.write("lf.txt", "one\ntwo");
    // Its content holds the header line that --no-index writes for an added file.
    repo.write("staged.txt", "diff --git b/staged.txt b/staged.txt\n");
    repo.write("src/deep/main.c", "int main(void) { return 1; }\n");
    repo.remove("src/other.c");
    repo.write("src/added.c", "staged\n");
    repo.write("src/untracked.c", "not shown\n");
    QFile::setPermissions(repo.path("tool.sh"), QFile::permissions(repo.path("tool.sh")) | QFile::ExeOwner);
    repo.remove("link");
    QFile::link("with space.txt", repo.path("link"));
    repo.remove("src/old\tlink");
    QFile::link("main.c", repo.path("src/deep/new \"link\""));
    repo.plumb({"add", "staged.txt", "src/added.c", "src/deep/new \"link\""});
    repo.plumb({"rm", "-q", "--cached", "kept.txt"}); // the index says removed, the disk still has it

    const std::pair<const char*, bool> files[] = {
        {"notes.txt", true}, {"with space.txt", false}, {"new.txt", false},   {"gone.txt", true},
        {"-dash.txt", true}, {"lf.txt", true},          {"staged.txt", true}, {"src/deep/main.c", true},
        {"src", true},       {"tool.sh", true},         {"link", true},       {"kept.txt", true},
        {"a*.txt", true},
    };
    for (const auto& [file, changed] : files) {
        SCOPED_TRACE(file);
        const QByteArray expected = repo.plainDiff(file);
        ASSERT_EQ(!expected.isEmpty(), changed) << "the repository is not set up as the table says";
        EXPECT_EQ(loadGitDiff(repo.path(file)).toUtf8(), expected);
    }

    // Wherever git gives no diff of the file as UTF-8, or cannot give one, the Diff tab gets empty text.
    repo.write("latin1.txt", "th\xE9\n");
    ASSERT_TRUE(repo.plainDiff("latin1.txt").contains("th\xE9"));
    TestRepo noCommit;
    noCommit.init();
    noCommit.plumb({"add", noCommit.write("first.txt", "first\n")});
    TestRepo outside; // a plain folder
    for (const QString& file : {repo.path("latin1.txt"), repo.path(".git/config"), noCommit.path("first.txt"),
                                outside.write("loose.txt", {}), outside.path("missing/dir/file.txt")})
        EXPECT_EQ(loadGitDiff(file), QString()) << file.toStdString();
    const std::atomic<bool> cancelled{true};
    EXPECT_EQ(loadGitDiff(repo.path("notes.txt"), {.gitProgram = "/nonexistent/git"}), QString());
    EXPECT_EQ(loadGitDiff(repo.path("notes.txt"), {.cancelled = &cancelled}), QString());

    // A side over the file bound is named instead of compared; a diff over its bound is cut after a
    // whole line and ends with a note.
    EXPECT_EQ(loadGitDiff(repo.path("big.txt"), {.maxFileBytes = 1024}), QString()); // unchanged
    repo.write("big.txt", QByteArray(4096, 'y'));
    EXPECT_EQ(loadGitDiff(repo.path("big.txt"), {.maxFileBytes = 1024}),
              diffTooLargeNote("big.txt", 1024) + QLatin1Char('\n'));

    repo.write("long.txt", QByteArray("LINE\n").repeated(2000));
    const QString diff = loadGitDiff(repo.path("long.txt"), {.maxDiffBytes = 4096});
    ASSERT_TRUE(diff.endsWith(diffCutShortNote(4096) + QLatin1Char('\n')));
    const QString kept = diff.left(diff.size() - diffCutShortNote(4096).size() - 1);
    EXPECT_TRUE(QString::fromUtf8(repo.plainDiff("long.txt")).startsWith(kept));
    EXPECT_TRUE(kept.endsWith(QLatin1Char('\n')));
    EXPECT_LE(kept.toUtf8().size(), 4096);

    // A .gitattributes that is a FIFO holds `git check-attr` until someone writes to it; the diff must
    // still come, without the attributes, rather than time out as a whole.
    ASSERT_EQ(::mkfifo(QFile::encodeName(repo.path(".gitattributes")).constData(), 0600), 0);
    EXPECT_TRUE(loadGitDiff(repo.path("notes.txt")).endsWith("\n three\n+four\n"));
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
        {"text=auto keeps committed CRLF", "* text=auto\n", nullptr, crlfSame, crlfEdited, true},
        {"text=auto leaves a lone CR", "* text=auto\n", nullptr, lf, "one\r\ntwo\rx\r\nthree\r\n", true},
        {"eol alone makes a file text", "*.txt eol=crlf\n", nullptr, lf, crlfEdited, true},
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

// git runs in its own session, without input or inherited GIT_* variables; one that hangs is stopped.
TEST(ViewerGitDiffLoader, GitRunsIsolatedAndIsStoppedAtTheTimeBound)
{
    TestRepo dir; // a plain folder
    const QString fake = dir.writeProgram(
        "git",
        "#!/bin/sh\nset -- $(cat /proc/$$/stat)\n"
        "echo \"$1 $6\"\n"
        "if read line; then echo stdin=data; else echo stdin=eof; fi\n"
        "echo \"dir=${GIT_DIR:-unset} ext=${GIT_EXTERNAL_DIFF:-unset} nosystem=$GIT_CONFIG_NOSYSTEM\"\n");
    qputenv("GIT_DIR", "/somewhere/else");
    qputenv("GIT_EXTERNAL_DIFF", "/bin/false");
    GitRunLimits limits{std::chrono::steady_clock::now() + std::chrono::seconds(20), 1 << 16, nullptr};
    const GitRunResult result = runGit(fake, {}, dir.root(), dir.root(), {}, limits);
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

    // Loading the hanging git's own diff runs it.
    const QString hangs = dir.writeProgram(
        "hangs", "#!/bin/sh\necho $$ > '" + QFile::encodeName(dir.path("pid")) + "'\nexec sleep 60\n");
    EXPECT_EQ(loadGitDiff(hangs, {.gitProgram = hangs, .timeout = std::chrono::milliseconds(300)}),
              QString());
    QFile pid(dir.path("pid"));
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    const pid_t hung = static_cast<pid_t>(pid.readAll().trimmed().toInt());
    ASSERT_GT(hung, 0);
    EXPECT_NE(::kill(hung, 0), 0); // killed and reaped
}

} // namespace
