#pragma once

// Keeps what it is asked to show and answers as the test chooses, for the decisions above the notifier
// seam (intake, delegate, fallback, the permission row); the real backend runs against dunst.

#include "watcher/Notifier.h"

#include <QTimer>

class StubNotifier : public Notifier
{
    Q_OBJECT
public:
    bool authorized = false;
    bool grant = true;
    QString error;
    QList<Notification> shown;

    void notify(const Notification& notification) override { shown.append(notification); }
    void checkAuthorization(std::function<void(bool)> done) override
    {
        QTimer::singleShot(0, this, [this, done = std::move(done)] { done(authorized); });
    }
    void requestAuthorization(std::function<void(bool, const QString&)> done) override
    {
        QTimer::singleShot(0, this, [this, done = std::move(done)] { done(grant, error); });
    }
    void click(const QString& path, const QString& rule) { emit activated(path, rule); }
};
