#pragma once

// The strip under the viewer's header that says why the window is open: the severity with its
// symbol and colour, the rule, the rule's description, and the buttons that step through the matched
// lines. Every text is shown as plain text, hidden characters as tokens.

#include <QFrame>
#include <QString>

class ElidedLabel;
class QLabel;
class QToolButton;

class FindingBanner : public QFrame
{
    Q_OBJECT
public:
    FindingBanner(const QString& severity, const QString& ruleName, const QString& description,
                  QWidget* parent = nullptr);

    // "⛔ Critical", "❗ High", "⚠️ Warning"; another word is shown after "⚠️" as it is.
    static QString severityText(const QString& severity);

    QLabel* severityLabel() const { return m_severity; }
    ElidedLabel* ruleLabel() const { return m_rule; }
    QLabel* descriptionLabel() const { return m_description; }
    QToolButton* previousButton() const { return m_previous; }
    QToolButton* nextButton() const { return m_next; }

    // The match buttons are shown only when there are matched lines to step through.
    void setMatchButtonsVisible(bool visible);

signals:
    void previousRequested();
    void nextRequested();

private:
    QLabel* m_severity;
    ElidedLabel* m_rule;
    QLabel* m_description;
    QToolButton* m_previous;
    QToolButton* m_next;
};
