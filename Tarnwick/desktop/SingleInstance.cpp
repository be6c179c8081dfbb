#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <unistd.h>

namespace {

QString runtimeDir()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    return dir;
}

QString baseName(const QString& key)
{
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("tarnwick-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest.left(16)));
}

constexpr int HandOverTimeoutMs = 3000;

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent)
    , m_socketPath(runtimeDir() + QLatin1Char('/') + baseName(key) + QStringLiteral(".sock"))
    , m_lock(runtimeDir() + QLatin1Char('/') + baseName(key) + QStringLiteral(".lock"))
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
