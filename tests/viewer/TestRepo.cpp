#include "TestRepo.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <stdexcept>

namespace {

// Runs /usr/bin/git with `args` in `dir` (30 s bound), `input` on its standard input; with
// `mustSucceed`, any failure throws.
QByteArray runTestGit(const QString& dir, const QStringList& args, const QByteArray& input, bool mustSucceed)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* inherited : {"GIT_DIR", "GIT_WORK_TREE", "GIT_EXTERNAL_DIFF"})
        env.remove(inherited);
    env.insert("GIT_CONFIG_NOSYSTEM", "1");
    env.insert("GIT_CONFIG_GLOBAL", "/dev/null");
    env.insert("GIT_TERMINAL_PROMPT", "0");
    for (const char* who : {"AUTHOR", "COMMITTER"}) {
        env.insert(QStringLiteral("GIT_%1_NAME").arg(who), "Test");
        env.insert(QStringLiteral("GIT_%1_EMAIL").arg(who), "test@example.invalid");
    }
    QProcess git;
    git.setProcessEnvironment(env);
    git.setWorkingDirectory(dir);
    git.start("/usr/bin/git", args);
    git.write(input);
    git.closeWriteChannel();
    if (!git.waitForFinished(30000)) {
        git.kill();
        git.waitForFinished();
    }
    if (mustSucceed && (git.exitStatus() != QProcess::NormalExit || git.exitCode() != 0))
        throw std::runtime_error("git " + args.join(' ').toStdString() + ": " +
                                 git.readAllStandardError().toStdString());
    return git.readAllStandardOutput();
}

} // namespace

TestRepo::TestRepo()
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder");
}

QString TestRepo::write(const QString& relative, const QByteArray& content)
{
    const QString file = path(relative);
    QDir().mkpath(QFileInfo(file).path());
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(content) != content.size())
        throw std::runtime_error("cannot write " + file.toStdString());
    return file;
}

QString TestRepo::writeProgram(const QString& relative, const QByteArray& content)
{
    const QString file = write(relative, content);
    if (!QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        throw std::runtime_error("cannot make " + file.toStdString() + " executable");
    return file;
}

QByteArray TestRepo::plumb(const QStringList& args, const QByteArray& input) const
{
    return runTestGit(root(), args, input, true).trimmed();
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
    return runTestGit(info.path(), {"diff", "HEAD", "--", ":(literal)" + info.fileName()}, {}, false);
}
