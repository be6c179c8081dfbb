#pragma once

// A notifier whose answers the test chooses, for the directories window's permission row. The real
// freedesktop backend runs against dunst in the end-to-end test.

#include "watcher/Notifier.h"

#include <QTimer>

class StubNotifier : public Notifier
{
    Q_OBJECT
public:
    bool authorized = false;
    bool grant = true;
    QString error;
    int checks = 0;
    QList<Notification> shown;

    void notify(const Notification& notification) override { shown.append(notification); }
    void checkAuthorization(std::function<void(bool)> done) override
    {
        ++checks;
        QTimer::singleShot(0, this, [this, done = std::move(done)] { done(authorized); });
    }
    void requestAuthorization(std::function<void(bool, const QString&)> done) override
    {
        QTimer::singleShot(0, this, [this, done = std::move(done)] { done(grant, error); });
    }
    void click(const QString& path, const QString& rule) { emit activated(path, rule); }
};
