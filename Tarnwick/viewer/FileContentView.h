#pragma once

// The File tab: the file's lines with right-aligned line numbers in a gutter, wrapped, selectable,
// read-only. Only the lines on screen are laid out, so a file of hundreds of thousands of lines opens
// as fast as a short one.

#include "viewer/MarkedTextView.h"

class FileContentView : public MarkedTextView
{
    Q_OBJECT
public:
    explicit FileContentView(QWidget* parent = nullptr);

    // The digits a number is padded to.
    int lineNumberWidth() const { return m_numberWidth; }
    // "%<width>d" of line `index` + 1, as the gutter draws it.
    QString lineNumberText(int index) const;

    // Width of the number cell (at least 40) and of the whole gutter (inset, cell, then a 16 px gap).
    int numberCellWidth() const;
    int gutterWidth() const override;

    static constexpr int kMinimumNumberCellWidth = 40;
    static constexpr int kGutterGap = 16;

protected:
    void changeEvent(QEvent* event) override;
    void documentReplaced() override;
    void paintGutterLine(QPainter& painter, int line, const QRectF& firstRow) const override;

private:
    int m_numberWidth = 1;
};
