#pragma once

#include "AlertFlood.h"
#include "WatchEvent.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "Notifier.h"

// Turns watcher events into stored findings and alerts. Main thread only.
class Intake : public QObject
{
    Q_OBJECT
public:
    explicit Intake(Notifier* notifier = nullptr, QObject* parent = nullptr);

    // One finding per event, inserted in list order into the main context of WatcherStatus's
    // container, then one save. Without a container the list is dropped. Findings an ignore covers
    // raise no alert.
    void ingest(const QList<WatchEvent>& events);

    // Raises a notification for "critical" and "high" (exact words); any other severity does nothing.
    // Past the flood bound, alerts are gathered into one summary notification instead.
    void postAlert(const QString& rule, const QString& severity, const QString& path);

    // "⛔ Critical: <rule>" / "❗ High: <rule>"; empty for severities that raise no alert.
    static QString alertTitle(const QString& severity, const QString& rule);

    const AlertFlood& flood() const { return m_flood; }

private:
    void showSummary();

    QPointer<Notifier> m_notifier;
    AlertFlood m_flood;
    QElapsedTimer m_clock;
    QTimer m_summaryTimer;
    qint64 m_lastSummaryMs = -1;
};
