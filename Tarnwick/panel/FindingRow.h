#pragma once

#include "records/Finding.h"

#include <QAbstractButton>
#include <QDateTime>

class QLabel;
class ElidedLabel;

// One finding in the panel's list: severity marker, rule name, age, and the path on a second line. The
// whole row is one flat button; a click anywhere in it asks for the finding's viewer window.
class FindingRow : public QAbstractButton
{
    Q_OBJECT
public:
    explicit FindingRow(const Finding& finding, QWidget* parent = nullptr);

    const Finding& finding() const { return m_finding; }

    // Recomputes the age against `now`; the age does not tick on its own.
    void refreshAge(const QDateTime& now = QDateTime::currentDateTimeUtc());

    // "⛔CRITICAL:" for "critical", "❗" for "high", "⚠️" for every other severity (exact,
    // case-sensitive).
    static QString severityMarker(const QString& severity);

    QString markerText() const;
    QString ruleText() const;
    QString ageText() const;
    QString pathText() const;

signals:
    // The row was clicked: the application opens the finding's viewer window.
    void openRequested(const Finding& finding);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void open();

    Finding m_finding;
    QLabel* m_marker;
    QLabel* m_rule;
    QLabel* m_age;
    ElidedLabel* m_path;
};
