#include "Intake.h"

#include "Notifier.h"
#include "WatcherStatus.h"

#include "records/Finding.h"
#include "records/ModelContainer.h"
#include "records/RuleIgnore.h"
#include "records/Severity.h"
#include "records/VisibleName.h"

#include <QDateTime>

namespace {

// Summary bubbles are refreshed at most this often while a flood lasts.
constexpr qint64 summaryIntervalMs = 1000;

} // namespace

Intake::Intake(Notifier* notifier, QObject* parent)
    : QObject(parent)
    , m_notifier(notifier)
{
    m_clock.start();
    m_summaryTimer.setSingleShot(true);
    connect(&m_summaryTimer, &QTimer::timeout, this, &Intake::showSummary);
}

void Intake::ingest(const QList<WatchEvent>& events)
{
    ModelContainer* container = WatcherStatus::shared().modelContainer();
    if (!container || events.isEmpty())
        return;
    ModelContext& context = container->mainContext();
    // An ignored finding is stored all the same; only its alert is held back. Should the ignores
    // not be readable, alerting too much is the safe side.
    const QList<RuleIgnore> ignores = context.fetchIgnores().value_or(QList<RuleIgnore>{});
    for (const WatchEvent& event : events) {
        Finding finding(event.path, event.rule, event.severity, event.types, event.pathBytes,
                        event.description, event.lines);
        context.insert(finding);
        if (!isIgnored(ignores, finding))
            postAlert(event.rule, event.severity, event.path);
    }
    // One save for the whole read. A failure keeps the records pending in the main context, whose
    // autosave tries again.
    context.save();
}

QString Intake::alertTitle(const QString& severity, const QString& rule)
{
    // No variation selectors: U+26D4 and U+2757 as they are.
    switch (severityOf(severity)) {
    case Severity::Critical:
        return QStringLiteral("\u26D4 Critical: ") + rule;
    case Severity::High:
        return QStringLiteral("\u2757 High: ") + rule;
    case Severity::Warning:
    case Severity::Other:
        break;
    }
    return {};
}

void Intake::postAlert(const QString& rule, const QString& severity, const QString& path)
{
    const QString title = alertTitle(severity, visibleName(rule));
    if (title.isEmpty())
        return;
    const qint64 now = m_clock.elapsed();
    if (m_flood.admit(severity, rule, path, now)) {
        if (Notifier* notifier = m_notifier) {
            notifier->notify({title,
                              visibleName(path),
                              severityOf(severity) == Severity::Critical ? Notifier::Urgency::Critical
                                                                         : Notifier::Urgency::Normal,
                              path,
                              rule,
                              {}});
        }
        return;
    }
    // Gathered: refresh the summary once this read is through, and no more than once a second.
    if (!m_summaryTimer.isActive()) {
        const qint64 wait = m_lastSummaryMs < 0 ? 0 : summaryIntervalMs - (now - m_lastSummaryMs);
        m_summaryTimer.start(int(qBound<qint64>(0, wait, summaryIntervalMs)));
    }
}

void Intake::showSummary()
{
    m_lastSummaryMs = m_clock.elapsed();
    const AlertFlood::Summary& summary = m_flood.summary();
    if (!m_notifier || summary.gathered == 0)
        return;
    const bool anyCritical = summary.critical > 0;
    Notifier::Notification notification;
    notification.summary =
        (anyCritical ? QStringLiteral("\u26D4 ") : QStringLiteral("\u2757 ")) +
        (summary.gathered == 1 ? tr("1 more alert") : tr("%1 more alerts").arg(summary.gathered));
    notification.body = tr("%1 critical, %2 high. Latest: %3 on %4. Every finding is in the findings list.")
                            .arg(summary.critical)
                            .arg(summary.high)
                            .arg(visibleName(summary.lastRule), visibleName(summary.lastPath));
    notification.urgency = anyCritical ? Notifier::Urgency::Critical : Notifier::Urgency::Normal;
    notification.replaceKey = QStringLiteral("flood-%1").arg(summary.sequence);
    m_notifier->notify(notification);
}
