#pragma once

#include <QObject>
#include <QString>

#include <functional>

// How an alert reaches the user's desktop. What deserves a notification is decided by Intake; a
// Notifier only shows it and reports clicks. Main thread only; no call blocks.
class Notifier : public QObject
{
    Q_OBJECT
public:
    enum class Urgency { Normal, Critical };

    struct Notification
    {
        QString summary;
        QString body;
        Urgency urgency = Urgency::Normal;
        // Where a click leads back to. Both empty for a summary of many alerts: its click means
        // "show the findings list".
        QString path;
        QString rule;
        // Notifications with the same non-empty key replace each other on screen (a summary that is
        // kept up to date); an empty key always makes a new notification.
        QString replaceKey;
    };

    using QObject::QObject;
    ~Notifier() override = default;

    virtual void notify(const Notification& notification) = 0;

    // Whether notifications can be shown at all (for the freedesktop backend: a notification service
    // is on the session bus). Answered asynchronously, on the main thread.
    virtual void checkAuthorization(std::function<void(bool authorized)> done) = 0;

    // Asks for permission. `done` receives true when notifications are enabled, otherwise false and a
    // readable reason.
    virtual void requestAuthorization(std::function<void(bool granted, const QString& error)> done) = 0;

signals:
    // The user clicked a notification (its default action).
    void activated(const QString& path, const QString& rule);
};
