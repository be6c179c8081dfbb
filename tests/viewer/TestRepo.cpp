#include "TestRepo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <stdexcept>

namespace {

QProcessEnvironment testGitEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GIT_CONFIG_NOSYSTEM"), QStringLiteral("1"));
    env.insert(QStringLiteral("GIT_CONFIG_GLOBAL"), QStringLiteral("/dev/null"));
    env.insert(QStringLiteral("GIT_AUTHOR_NAME"), QStringLiteral("Test"));
    env.insert(QStringLiteral("GIT_AUTHOR_EMAIL"), QStringLiteral("test@example.invalid"));
    env.insert(QStringLiteral("GIT_COMMITTER_NAME"), QStringLiteral("Test"));
    env.insert(QStringLiteral("GIT_COMMITTER_EMAIL"), QStringLiteral("test@example.invalid"));
    env.insert(QStringLiteral("GIT_TERMINAL_PROMPT"), QStringLiteral("0"));
    env.remove(QStringLiteral("GIT_DIR"));
    env.remove(QStringLiteral("GIT_WORK_TREE"));
    env.remove(QStringLiteral("GIT_EXTERNAL_DIFF"));
    return env;
}

} // namespace

GitOutput runTestGit(const QString& dir, const QStringList& args, const QByteArray& input)
{
    QProcess git;
    git.setProcessEnvironment(testGitEnvironment());
    git.setWorkingDirectory(dir);
    if (input.isEmpty())
        git.setStandardInputFile(QProcess::nullDevice());
    git.start(QStringLiteral("/usr/bin/git"), args);
    if (!input.isEmpty()) {
        git.write(input);
        git.closeWriteChannel();
    }
    GitOutput result;
    if (!git.waitForFinished(30000)) {
        git.kill();
        git.waitForFinished();
        return result;
    }
    result.exitCode = git.exitStatus() == QProcess::NormalExit ? git.exitCode() : -1;
    result.out = git.readAllStandardOutput();
    result.err = git.readAllStandardError();
    return result;
}

TestRepo::TestRepo()
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder");
}

void TestRepo::init()
{
    const GitOutput r =
        git({QStringLiteral("init"), QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("main")});
    if (r.exitCode != 0)
        throw std::runtime_error("git init failed: " + r.err.toStdString());
}

void TestRepo::write(const QString& relative, const QByteArray& content)
{
    const QString file = path(relative);
    QDir().mkpath(QFileInfo(file).path());
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(content) != content.size())
        throw std::runtime_error("cannot write " + file.toStdString());
}

void TestRepo::remove(const QString& relative)
{
    QFile::remove(path(relative));
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
    write(QStringLiteral("notes.txt"), "one\ntwo\nthree\n");
    write(QStringLiteral("with space.txt"), "alpha\n");
    write(QStringLiteral("-dash.txt"), "dash\n");
    write(QStringLiteral("src/deep/main.c"), "int main(void) { return 0; }\n");
    write(QStringLiteral("src/other.c"), "other\n");
    write(QStringLiteral("latin1.txt"), "caf\xE9\n");
    write(QStringLiteral("empty.txt"), "");
    write(QStringLiteral("gone.txt"), "will be deleted\n");
    write(QStringLiteral("tool.sh"), "echo hi\n");
    commitAll();
}

void TestRepo::commitAll(const QString& message)
{
    git({QStringLiteral("add"), QStringLiteral("-A")});
    const GitOutput r = git({QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("-m"), message});
    if (r.exitCode != 0)
        throw std::runtime_error("git commit failed: " + r.err.toStdString());
}

QByteArray plainGitDiff(const QString& file)
{
    const QFileInfo info(file);
    return runTestGit(info.path(),
                      {QStringLiteral("diff"), QStringLiteral("HEAD"), QStringLiteral("--"), info.fileName()})
        .out;
}
