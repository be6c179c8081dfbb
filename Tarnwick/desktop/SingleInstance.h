#pragma once

// One Tarnwick per user and store. The first instance holds a lock file and listens on a local
// socket beside it; a later start finds the lock taken, sends its request over the socket and exits,
// so a second watcher never runs on the same store. Both live in a private folder
// ($XDG_RUNTIME_DIR/tarnwick, else ~/.cache/tarnwick) made with mode 0700 and checked by lstat; a
// hand-over goes only to a socket served by the same user.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // `key` tells stores apart (the store's path); the user is part of the location already.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Role { Primary, HandedOver, Failed };

    // Becomes the primary instance, or hands `request` to the primary one and returns HandedOver.
    // Failed: the lock is held but the primary could not be reached within the bound, the socket is
    // another user's, or the private folder is not ours.
    Role claim(const QString& request = QStringLiteral("activate"));

    QString socketPath() const { return m_socketPath; }

signals:
    // In the primary instance: a later start asked for `request` ("activate").
    void requestReceived(const QString& request);

private:
    bool handOver(const QString& request);
    void acceptConnections();

    QString m_folder;
    QString m_socketPath;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
};
