#pragma once

// Presses a running Qt application's controls the way a screen reader does, through the accessibility
// bus of a DesktopSession: by window title and accessible name, never at a pixel position. Popups are
// not among an application's windows but announce themselves by "showing" events, which Qt sends only
// while someone listens: this object listens, so it must exist before the application starts.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace tw::test {

class AccessibleTree : public QObject
{
    Q_OBJECT
public:
    explicit AccessibleTree(const QString& busAddress);
    ~AccessibleTree() override { QDBusConnection::disconnectFromBus(m_connectionName); }

    bool isUp() const { return m_listening; }
    // Presses the control named `control` in a window titled `window`, in any application on the bus.
    // False when there is no such control (yet) or it refused the action; a press left unanswered (the
    // control quit the application) counts as done.
    bool press(const QString& window, const QString& control);

private slots:
    void objectStateChanged(const QDBusMessage& message);

private:
    struct Node
    {
        QString service;
        QString path;
    };
    QList<Node> children(const Node& node);
    QString name(const Node& node);
    std::optional<Node> find(const Node& from, const QString& name, int depth);

    QString m_connectionName;
    QDBusConnection m_bus;
    bool m_listening = false;
    QList<Node> m_shown; // objects that announced they are showing: popups among them
};

} // namespace tw::test
