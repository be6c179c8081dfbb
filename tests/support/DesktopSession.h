#pragma once

// A private desktop: Xvfb, a session bus without service activation, the accessibility bus with its
// registry, and dunst; all ended by pid when the object goes. Its tests take RESOURCE_LOCK "desktop".

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace tw::test {

class DesktopSession
{
public:
    // One notification as dunst -print reports it.
    struct Notification
    {
        uint id = 0;
        QString summary;
        QString body;
        QString urgency;     // "LOW", "NORMAL", "CRITICAL"
        QStringList actions; // action keys, e.g. "default"
    };

    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    bool isUp() const { return m_error.isEmpty(); }
    // Why the session did not come up, with the logs of the processes started so far.
    QString error() const { return m_error; }

    QString busAddress() const { return m_busAddress; }
    // Where applications started with environment() show their widgets.
    QString accessibilityBusAddress() const { return m_a11yBusAddress; }
    // For children: DISPLAY and DBUS_SESSION_BUS_ADDRESS pointing here, and Qt's accessibility on.
    QProcessEnvironment environment() const;

    // Everything dunst has received so far, in order.
    QList<Notification> notifications();
    // Leaves display and bus up: "no notification service".
    void stopNotificationDaemon() { stop(*m_dunst); }

    // Runs `program` with environment() for at most `timeoutMs`: its exit code (-1 when it did not finish
    // or crashed), its standard output into `output` when given.
    int run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
            int timeoutMs = 15000) const;
    QString logs() const;

    // Ends `process` if it runs: TERM, then KILL after `graceMs`.
    static void stop(QProcess& process, int graceMs = 3000);

private:
    // Output and errors go to <name>.out and <name>.log of the session folder.
    bool startDaemon(std::unique_ptr<QProcess>& process, const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    // For a daemon that reports one line (its display, its bus address): that line, or empty with the error.
    QString startReporting(std::unique_ptr<QProcess>& process, const QString& program,
                           const QStringList& arguments);
    // The reply as dbus-send prints it literally, empty on failure.
    QByteArray askBus(const QString& destination, const QString& path, const QString& method,
                      const QStringList& arguments = {}) const;
    bool startAccessibilityBus();

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_bus;
    std::unique_ptr<QProcess> m_a11yLauncher;
    std::unique_ptr<QProcess> m_dunst;
    QString m_display;
    QString m_busAddress;
    QString m_a11yBusAddress;
    QString m_error;
};

} // namespace tw::test
