#pragma once

#include "records/Finding.h"

#include <QAbstractButton>
#include <QDateTime>

class QAction;
class QLabel;
class ElidedLabel;

// One finding in the panel's list: severity marker, rule name, age, and the path on a second line. The
// whole row is one flat button; a click anywhere in it asks for the finding's viewer window. Its tooltip
// and accessible description carry what the rule looks for. Its context menu and the Delete key offer
// the triage: dismiss it, or ignore its rule for the file or the folder.
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

    // Marks a row the panel lists although an ignore covers it.
    void setIgnored(bool ignored);
    bool isIgnored() const;

    QAction* dismissAction() const { return m_dismiss; }
    QAction* ignoreFileAction() const { return m_ignoreFile; }
    QAction* ignoreFolderAction() const { return m_ignoreFolder; }

signals:
    // The row was clicked: the application opens the finding's viewer window.
    void openRequested(const Finding& finding);
    void dismissRequested(const Finding& finding);
    // `folder`: for every file in the finding's folder, else for its file only.
    void ignoreRequested(const Finding& finding, bool folder);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void open();

    Finding m_finding;
    QLabel* m_marker;
    QLabel* m_rule;
    QLabel* m_age;
    QLabel* m_ignoredMark;
    ElidedLabel* m_path;
    QAction* m_dismiss;
    QAction* m_ignoreFile;
    QAction* m_ignoreFolder;
};
