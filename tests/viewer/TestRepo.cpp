#include "TestRepo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <stdexcept>

namespace {

struct GitOutput
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

QProcessEnvironment testGitEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("GIT_CONFIG_NOSYSTEM", "1");
    env.insert("GIT_CONFIG_GLOBAL", "/dev/null");
    env.insert("GIT_AUTHOR_NAME", "Test");
    env.insert("GIT_AUTHOR_EMAIL", "test@example.invalid");
    env.insert("GIT_COMMITTER_NAME", "Test");
    env.insert("GIT_COMMITTER_EMAIL", "test@example.invalid");
    env.insert("GIT_TERMINAL_PROMPT", "0");
    for (const char* inherited : {"GIT_DIR", "GIT_WORK_TREE", "GIT_EXTERNAL_DIFF"})
        env.remove(inherited);
    return env;
}

// Runs /usr/bin/git with `args` in `dir` (30 s bound), `input` on its standard input.
GitOutput runTestGit(const QString& dir, const QStringList& args, const QByteArray& input = {})
{
    QProcess git;
    git.setProcessEnvironment(testGitEnvironment());
    git.setWorkingDirectory(dir);
    git.start("/usr/bin/git", args);
    git.write(input);
    git.closeWriteChannel();
    const bool finished = git.waitForFinished(30000);
    if (!finished) {
        git.kill();
        git.waitForFinished();
    }
    return {finished && git.exitStatus() == QProcess::NormalExit ? git.exitCode() : -1,
            git.readAllStandardOutput(), git.readAllStandardError()};
}

} // namespace

TestRepo::TestRepo()
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder");
}

void TestRepo::init()
{
    plumb({"init", "-q", "-b", "main"});
}

void TestRepo::write(const QString& relative, const QByteArray& content)
{
    const QString file = path(relative);
    QDir().mkpath(QFileInfo(file).path());
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(content) != content.size())
        throw std::runtime_error("cannot write " + file.toStdString());
}

QByteArray TestRepo::plumb(const QStringList& args, const QByteArray& input) const
{
    const GitOutput r = runTestGit(root(), args, input);
    if (r.exitCode != 0)
        throw std::runtime_error("git " + args.join(QLatin1Char(' ')).toStdString() + ": " +
                                 r.err.toStdString());
    return r.out.trimmed();
}

void TestRepo::commitBase()
{
    init();
    write("notes.txt", "one\ntwo\nthree\n");
    write("with space.txt", "alpha\n");
    write("-dash.txt", "dash\n");
    write("src/deep/main.c", "int main(void) { return 0; }\n");
    write("src/other.c", "other\n");
    write("latin1.txt", "caf\xE9\n");
    write("empty.txt", "");
    write("gone.txt", "will be deleted\n");
    write("tool.sh", "echo hi\n");
    commitAll();
}

void TestRepo::commitAll()
{
    plumb({"add", "-A"});
    plumb({"commit", "-q", "-m", "commit"});
}

QByteArray plainGitDiff(const QString& file)
{
    const QFileInfo info(file);
    return runTestGit(info.path(), {"diff", "HEAD", "--", ":(literal)" + info.fileName()}).out;
}
