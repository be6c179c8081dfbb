#pragma once

// Keeps what it is asked to show, for tests of the decisions above the notifier seam; the D-Bus
// backend itself is tested against a real notification daemon.

#include "watcher/Notifier.h"

#include <QList>

class RecordingNotifier : public Notifier
{
public:
    using Notifier::Notifier;

    void notify(const Notification& notification) override { shown.append(notification); }
    void checkAuthorization(std::function<void(bool)> done) override { done(true); }
    void requestAuthorization(std::function<void(bool, const QString&)> done) override { done(true, {}); }

    QList<Notification> shown;
};
