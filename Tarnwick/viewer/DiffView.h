#pragma once

// The Diff tab: git's diff, one coloured line per diff line (added green, removed red, hunk headers
// blue), wrapped and selectable; "No git changes detected" when the diff is empty.

#include "viewer/MarkedTextView.h"

#include <QWidget>

class QLabel;
class QStackedLayout;

class DiffTextView : public MarkedTextView
{
    Q_OBJECT
public:
    using MarkedTextView::MarkedTextView;

protected:
    QColor lineColor(int line, QStringView text) const override;
};

class DiffView : public QWidget
{
    Q_OBJECT
public:
    explicit DiffView(QWidget* parent = nullptr);

    // Shows `diff`; `prepared` is its display form when it was made off the UI thread.
    void setDiff(const QString& diff);
    void setDiff(const QString& diff, PreparedText prepared);
    QString diff() const { return m_diff; }

    bool isShowingEmptyMessage() const;
    QLabel* emptyMessage() const { return m_emptyMessage; }
    DiffTextView* textView() const { return m_text; }

private:
    QString m_diff;
    QStackedLayout* m_stack = nullptr;
    QLabel* m_emptyMessage = nullptr;
    DiffTextView* m_text = nullptr;
};
