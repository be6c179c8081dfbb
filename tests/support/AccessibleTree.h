#pragma once

// Drives a running Qt application the way a screen reader does: through the widgets it exports on the
// accessibility bus of a DesktopSession. A control is found by the title of its window and its own
// accessible name, and its first action ("Press") is invoked; no test clicks at a pixel position.
// Qt leaves popup windows out of an application's list of windows; a popup is announced by a "showing"
// event instead. Qt sends events only while the registry lists someone listening for them, so this
// object registers as a listener, and must exist before the application starts.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace tw::test {

class AccessibleTree : public QObject
{
    Q_OBJECT
public:
    explicit AccessibleTree(const QString& busAddress);
    ~AccessibleTree() override;

    bool isUp() const { return m_listening; }
    // Presses the control named `control` in a window titled `window`, in any application on the bus.
    // False when there is no such control (yet) or it refused the action; a press left unanswered (the
    // control quit the application) counts as done.
    bool press(const QString& window, const QString& control);
    // The titles of every application's windows, for failure messages.
    QStringList windowTitles();

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
    QList<Node> windows();

    QString m_connectionName;
    QDBusConnection m_bus;
    bool m_listening = false;
    QList<Node> m_shown; // objects that announced they are showing: popups among them
};

} // namespace tw::test
