#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The lock and the socket live only in a folder of our own, never in a shared one such as /tmp,
// where another user could create them first and answer the hand-over. XDG_RUNTIME_DIR is private to
// the user; without it, the user's cache folder in the home directory is.
QString privateFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString base = runtime.startsWith(QLatin1Char('/'))
                             ? runtime
                             : QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return base + QStringLiteral("/tarnwick");
}

// Makes `folder` if missing and checks by lstat that it is ours: a real folder (no link), owned by
// this user, open to nobody else. Anything else is refused, never used or repaired.
bool ensurePrivateFolder(const QString& folder, QString* why)
{
    QDir().mkpath(QFileInfo(folder).path());
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info
    {
    };
    if (::lstat(native.constData(), &info) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        *why = QStringLiteral("it is not a folder of this user closed to others (owner %1, mode %2)")
                   .arg(info.st_uid)
                   .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
        return false;
    }
    return true;
}

QString baseName(const QString& key)
{
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("tarnwick-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest.left(16)));
}

// The user at the other end of a connected local socket; -1 when the kernel does not say.
qint64 peerUid(const QLocalSocket& socket)
{
    struct ucred credentials
    {
    };
    socklen_t length = sizeof credentials;
    if (::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials,
                     &length) != 0)
        return -1;
    return credentials.uid;
}

constexpr int HandOverTimeoutMs = 3000;

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent)
    , m_folder(privateFolder())
    , m_socketPath(m_folder + QLatin1Char('/') + baseName(key) + QStringLiteral(".sock"))
    , m_lock(m_folder + QLatin1Char('/') + baseName(key) + QStringLiteral(".lock"))
{
    // A lock whose owner died is taken over at once (QLockFile checks the pid); a live owner keeps it.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (m_server) {
        m_server->close();
    }
}

SingleInstance::Role SingleInstance::claim(const QString& request)
{
    QString why;
    if (!ensurePrivateFolder(m_folder, &why)) {
        qWarning("Tarnwick: the instance folder %s cannot be used: %s", qPrintable(m_folder),
                 qPrintable(why));
        return Role::Failed;
    }
    if (m_lock.tryLock(0)) {
        // We own the lock, so any socket file left is from a crashed run.
        QLocalServer::removeServer(m_socketPath);
        m_server = std::make_unique<QLocalServer>();
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        if (!m_server->listen(m_socketPath)) {
            // Still the only instance; later starts will wait for the socket and then give up.
            m_server.reset();
            return Role::Primary;
        }
        connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
        return Role::Primary;
    }
    return handOver(request) ? Role::HandedOver : Role::Failed;
}

bool SingleInstance::handOver(const QString& request)
{
    // The primary may have taken the lock a moment ago and not be listening yet: retry, bounded.
    const QDeadlineTimer deadline(HandOverTimeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(qMax<qint64>(1, deadline.remainingTime()))) {
            // Only ever hand over to this user's own instance.
            if (const qint64 uid = peerUid(socket); uid != ::getuid()) {
                qWarning("Tarnwick: the instance socket %s is served by user %lld, not this user: not "
                         "handing over",
                         qPrintable(m_socketPath), static_cast<long long>(uid));
                return false;
            }
            socket.write(request.toUtf8() + '\n');
            socket.flush();
            // The reply tells us the request arrived before we go.
            while (!socket.canReadLine() &&
                   socket.waitForReadyRead(qMax<qint64>(1, deadline.remainingTime()))) {
            }
            return socket.canReadLine() && socket.readLine().trimmed() == "ok";
        }
        QThread::msleep(50);
    }
    return false;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        if (peerUid(*socket) != ::getuid()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // One short line per connection; anything longer than a line is not ours.
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > 1024) {
                    socket->abort();
                }
                return;
            }
            const QString request = QString::fromUtf8(socket->readLine(1024)).trimmed();
            socket->write("ok\n");
            socket->flush();
            socket->disconnectFromServer();
            emit requestReceived(request);
        });
    }
}
