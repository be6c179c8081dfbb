#include "viewer/GitDiffLoader.h"

#include "viewer/BoundedFile.h"
#include "viewer/DiffHeaders.h"
#include "viewer/GitBlobHash.h"
#include "viewer/GitLineEndings.h"
#include "viewer/GitTreeEntries.h"
#include "viewer/ScratchTree.h"
#include "viewer/Utf8.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <map>
#include <optional>

#include <unistd.h>

namespace {

struct Context
{
    const GitDiffOptions& options;
    const ScratchTree& work;
    std::chrono::steady_clock::time_point deadline;
    QString home;
    QString scratch;
    QString repoDir; // the file's folder, where the repository is found
};

// Belt and braces: none of the plumbing below reads the index through fsmonitor or runs a hook,
// but the repository's configuration must not be able to change that.
const QStringList kSafeConfig = {QStringLiteral("-c"), QStringLiteral("core.fsmonitor=false"),
                                 QStringLiteral("-c"), QStringLiteral("core.hooksPath=/dev/null")};

using TimePoint = std::chrono::steady_clock::time_point;

// `deadline`: a bound of its own for this run, within the whole run's.
GitRunResult git(const Context& ctx, const QStringList& args, const QString& cwd, qint64 maxOut,
                 const QString& ceiling = {}, TimePoint deadline = TimePoint::max())
{
    GitRunLimits limits{std::min(deadline, ctx.deadline), maxOut, ctx.options.cancelled};
    return runGit(ctx.options.gitProgram, kSafeConfig + args, cwd, ctx.home, ceiling, limits);
}

constexpr std::chrono::seconds kAttributesTimeout{3};

bool succeeded(const GitRunResult& r)
{
    return r.finished && r.exitCode == 0 && !r.overflow;
}

// The current file as git would record it: mode, and the opened file or the link's target. Every
// later look at a regular file goes through the descriptor opened here.
struct WorkSide
{
    QByteArray mode;
    qint64 size = 0;
    QByteArray linkTarget;
    std::optional<BoundedFile> file;
};

std::optional<WorkSide> openWorkFile(const QString& path)
{
    if (std::optional<BoundedFile> file = BoundedFile::open(path, BoundedFile::Links::Refuse)) {
        const qint64 size = file->size();
        return WorkSide{file->executable() ? "100755" : "100644", size, {}, std::move(file)};
    }
    const QByteArray native = QFile::encodeName(path);
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink(native.constData(), target.data(), static_cast<size_t>(target.size()));
    if (n < 0 || n >= target.size())
        return std::nullopt; // missing, or a directory or device where a file is tracked: deleted for git
    target.truncate(n);
    return WorkSide{"120000", n, target, std::nullopt};
}

struct PathEntry
{
    std::optional<GitTreeEntry> head;
    std::optional<GitIndexEntry> index;
};

enum class Prepared { Unchanged, Written, TooLarge, Failed };

// The attributes that decide the end-of-line conversion of each of `relatives` (paths from the
// file's folder), by that path; empty when git cannot say. A .gitattributes that is a FIFO holds git
// until something writes to it: past a short bound the diff goes on without the attributes.
std::map<QByteArray, std::map<QByteArray, QByteArray>> eolAttributes(const Context& ctx,
                                                                     const QStringList& relatives)
{
    std::map<QByteArray, std::map<QByteArray, QByteArray>> attributes;
    if (relatives.isEmpty())
        return attributes;
    const GitRunResult r =
        git(ctx,
            QStringList{QStringLiteral("check-attr"), QStringLiteral("-z"), QStringLiteral("text"),
                        QStringLiteral("crlf"), QStringLiteral("eol"), QStringLiteral("--")} +
                relatives,
            ctx.repoDir, 16 << 20, {}, std::chrono::steady_clock::now() + kAttributesTimeout);
    if (!succeeded(r))
        return attributes;
    const QList<QByteArray> fields = r.out.split('\0');
    for (qsizetype i = 0; i + 2 < fields.size(); i += 3)
        attributes[fields[i]][fields[i + 1]] = fields[i + 2];
    return attributes;
}

// Puts the committed side under a/ and the current side under b/ of the scratch work folder, unless
// both are the same. A link's target is written as the text of a regular file, and noted in `links`.
Prepared preparePath(const Context& ctx, const QByteArray& repoPath, const PathEntry& entry,
                     const QString& workFile, int hexLength, EolConversion eol,
                     std::map<QByteArray, LinkSides>& links)
{
    const GitTreeEntry* head = entry.head && entry.head->type == "blob" ? &*entry.head : nullptr;
    std::optional<WorkSide> current;
    if (entry.index && entry.index->mode != "160000")
        current = openWorkFile(workFile);
    if (!head && !current)
        return Prepared::Unchanged;

    // Hashing an unchanged side reads it whole, however large, within the run's deadline.
    const ReadBounds bounds{ctx.deadline, ctx.options.cancelled};
    const qint64 limit = ctx.options.maxFileBytes;
    // The current file as git compares it, when an end-of-line conversion applies to it.
    std::optional<QByteArray> converted;
    if (current && current->file && eol != EolConversion::None && current->size <= limit) {
        QByteArray raw;
        if (current->file->readAll(limit, bounds, raw) != ReadEnd::Whole)
            return Prepared::Failed;
        bool indexHasCrlf = false;
        if (eol == EolConversion::Auto && raw.contains("\r\n")) {
            const GitRunResult indexed = git(
                ctx,
                {QStringLiteral("cat-file"), QStringLiteral("blob"), QString::fromLatin1(entry.index->oid)},
                ctx.repoDir, limit);
            indexHasCrlf = succeeded(indexed) && hasCrlfAsText(indexed.out);
        }
        converted = toGitLineEndings(raw, eol, indexHasCrlf);
        if (head && head->mode == current->mode && gitBlobIdOfBytes(*converted, hexLength) == head->oid)
            return Prepared::Unchanged;
    } else if (head && current && head->mode == current->mode && head->size == current->size) {
        const std::optional<QByteArray> id =
            current->file ? gitBlobIdOfFile(*current->file, hexLength, bounds)
                          : std::optional(gitBlobIdOfBytes(current->linkTarget, hexLength));
        if (id && *id == head->oid)
            return Prepared::Unchanged;
    }
    if ((head && head->size > limit) || (current && current->size > limit))
        return Prepared::TooLarge;

    if (head) {
        const GitRunResult blob =
            git(ctx, {QStringLiteral("cat-file"), QStringLiteral("blob"), QString::fromLatin1(head->oid)},
                ctx.repoDir, limit);
        if (!succeeded(blob) || !ctx.work.writeFile("a/" + repoPath, blob.out, head->mode == "100755"))
            return Prepared::Failed;
        if (head->mode == "120000")
            links[repoPath].a = true;
    }
    if (current) {
        QByteArray bytes = converted ? *converted : current->linkTarget;
        if (!converted && current->file && current->file->readAll(limit, bounds, bytes) != ReadEnd::Whole)
            return Prepared::Failed;
        if (!ctx.work.writeFile("b/" + repoPath, bytes, current->mode == "100755"))
            return Prepared::Failed;
        if (current->mode == "120000")
            links[repoPath].b = true;
    }
    return Prepared::Written;
}

} // namespace

QString diffTooLargeNote(const QString& repoPath, qint64 maxFileBytes)
{
    return QStringLiteral("(%1: not compared, larger than %2 MiB)")
        .arg(repoPath)
        .arg(maxFileBytes / (1024 * 1024));
}

QString diffCutShortNote(qint64 maxDiffBytes)
{
    return QStringLiteral("(Diff cut short: it is longer than %1 MiB)").arg(maxDiffBytes / (1024 * 1024));
}

QString nestedTreeNote(const QString& repoPath)
{
    return QStringLiteral(
               "(Diff not shown: the repository lists \u201c%1\u201d both as a file and as a folder. "
               "git cannot check out such a tree; it is damaged or made to attack tools that "
               "read it.)\n")
        .arg(repoPath);
}

QString loadGitDiff(const QString& path, const GitDiffOptions& options)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'));
    const QString dir = slash <= 0 ? QStringLiteral("/") : absolute.left(slash);
    const QString name = absolute.mid(slash + 1);
    if (name.isEmpty() || !QFileInfo(dir).isDir())
        return {};

    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/tarnwick-diff-XXXXXX"));
    const QString work = scratch.path() + QStringLiteral("/w");
    const QString home = scratch.path() + QStringLiteral("/home");
    if (!scratch.isValid() || !QDir().mkpath(work) || !QDir().mkpath(home))
        return {};
    const ScratchTree workTree(work);
    if (!workTree.isValid())
        return {};
    const Context ctx{options, workTree,       std::chrono::steady_clock::now() + options.timeout,
                      home,    scratch.path(), dir};

    const GitRunResult top = git(ctx,
                                 {QStringLiteral("rev-parse"), QStringLiteral("--is-inside-work-tree"),
                                  QStringLiteral("--show-prefix")},
                                 dir, 1 << 20);
    const QList<QByteArray> topLines = top.out.split('\n');
    if (!succeeded(top) || topLines.size() < 2 || topLines[0] != "true")
        return {};
    const QByteArray prefix = topLines[1];

    // A repository without a commit has no HEAD: the plain command fails too, so nothing to show.
    const GitRunResult tree =
        git(ctx,
            {QStringLiteral("ls-tree"), QStringLiteral("-r"), QStringLiteral("-l"), QStringLiteral("-z"),
             QStringLiteral("--full-name"), QStringLiteral("HEAD"), QStringLiteral("--"), name},
            dir, 64 << 20);
    const GitRunResult index = git(ctx,
                                   {QStringLiteral("ls-files"), QStringLiteral("-s"), QStringLiteral("-z"),
                                    QStringLiteral("--full-name"), QStringLiteral("--"), name},
                                   dir, 64 << 20);
    if (!succeeded(tree) || !succeeded(index))
        return {};
    const auto treeEntries = parseLsTree(tree.out);
    const auto indexEntries = parseLsFiles(index.out);
    if (!treeEntries || !indexEntries)
        return {};

    std::map<QByteArray, PathEntry> paths;
    int hexLength = 40;
    for (const GitTreeEntry& e : *treeEntries) {
        paths[e.path].head = e;
        hexLength = static_cast<int>(e.oid.size());
    }
    for (const GitIndexEntry& e : *indexEntries) {
        if (!paths[e.path].index || e.stage == 0)
            paths[e.path].index = e;
    }
    if (paths.size() > static_cast<size_t>(options.maxPaths))
        return {};
    // Each side on its own: a file in HEAD that became a folder in the index is an ordinary change.
    std::vector<QByteArray> headPaths;
    std::vector<QByteArray> indexPaths;
    for (const auto& [repoPath, entry] : paths) {
        if (entry.head)
            headPaths.push_back(repoPath);
        if (entry.index)
            indexPaths.push_back(repoPath);
    }
    for (const auto* side : {&headPaths, &indexPaths}) {
        if (const std::optional<QByteArray> nested = pathHoldingAnother(*side))
            return nestedTreeNote(QFile::decodeName(*nested));
    }

    QStringList relatives;
    for (const auto& [repoPath, entry] : paths) {
        if (entry.index && repoPath.startsWith(prefix))
            relatives << QFile::decodeName(repoPath.mid(prefix.size()));
    }
    const auto attributes = eolAttributes(ctx, relatives);
    const GitRunResult autocrlf = git(
        ctx, {QStringLiteral("config"), QStringLiteral("--get"), QStringLiteral("core.autocrlf")}, dir, 4096);
    const QByteArray autocrlfValue = succeeded(autocrlf) ? autocrlf.out.trimmed() : QByteArray();

    QStringList notes;
    std::map<QByteArray, LinkSides> links;
    int written = 0;
    for (const auto& [repoPath, entry] : paths) {
        if (!isSafeRelativePath(repoPath) || !repoPath.startsWith(prefix))
            return {};
        const QString workFile = dir + QLatin1Char('/') + QFile::decodeName(repoPath.mid(prefix.size()));
        EolConversion eol = EolConversion::None;
        if (const auto found = attributes.find(repoPath.mid(prefix.size())); found != attributes.end()) {
            auto value = [&](const char* name) {
                const auto it = found->second.find(name);
                return it == found->second.end() ? QByteArray("unspecified") : it->second;
            };
            eol = eolConversionOf(value("text"), value("crlf"), value("eol"), autocrlfValue);
        } else if (!relatives.isEmpty() && entry.index) {
            eol = eolConversionOf("unspecified", "unspecified", "unspecified", autocrlfValue);
        }
        switch (preparePath(ctx, repoPath, entry, workFile, hexLength, eol, links)) {
        case Prepared::Unchanged:
            break;
        case Prepared::Written:
            ++written;
            break;
        case Prepared::TooLarge:
            notes << diffTooLargeNote(QFile::decodeName(repoPath), options.maxFileBytes);
            break;
        case Prepared::Failed:
            return {};
        }
    }
    if (written == 0 && notes.isEmpty())
        return {};

    QByteArray diffBytes;
    if (written > 0) {
        // One file: compare the two copies (or /dev/null for a side that does not exist). A folder:
        // compare the two trees, which lists added and deleted files too.
        const QString target = QFile::decodeName(prefix) + name;
        const QString a = QStringLiteral("a/") + target;
        const QString b = QStringLiteral("b/") + target;
        const bool single = paths.size() == 1 && paths.begin()->first == QFile::encodeName(target);
        QStringList args = {QStringLiteral("diff"),          QStringLiteral("--no-index"),
                            QStringLiteral("--no-prefix"),   QStringLiteral("--no-color"),
                            QStringLiteral("--no-ext-diff"), QStringLiteral("--no-textconv")};
        if (single) {
            auto exists = [&](const QString& rel) {
                return QFileInfo::exists(work + QLatin1Char('/') + rel);
            };
            args << (exists(a) ? a : QStringLiteral("/dev/null"))
                 << (exists(b) ? b : QStringLiteral("/dev/null"));
        } else {
            if (!workTree.makeFolders(QFile::encodeName(a)) || !workTree.makeFolders(QFile::encodeName(b)))
                return {};
            args << a << b;
        }
        const GitRunResult diff = git(ctx, args, work, options.maxDiffBytes, scratch.path());
        if (!diff.finished && !diff.overflow)
            return {};
        diffBytes = relabelNoIndexHeaders(restoreLinkModes(diff.out, links));
        if (diff.overflow) {
            diffBytes.truncate(diffBytes.lastIndexOf('\n') + 1);
            notes.prepend(diffCutShortNote(options.maxDiffBytes));
        }
    }
    std::optional<QString> text = decodeUtf8Strictly(diffBytes);
    if (!text)
        return {};
    for (const QString& note : notes)
        *text += note + QLatin1Char('\n');
    return *text;
}
