#pragma once

// The File tab: the file's lines with right-aligned line numbers in a gutter, wrapped, selectable,
// read-only. Only the lines on screen are laid out (the Qt Code Editor pattern), so a file of
// hundreds of thousands of lines opens as fast as a short one.

#include "viewer/MarkedTextView.h"

class LineNumberGutter;

class FileContentView : public MarkedTextView
{
    Q_OBJECT
public:
    explicit FileContentView(QWidget* parent = nullptr);

    // Number of lines shown (the text split at "\n") and the digits a number is padded to.
    int lineCount() const;
    int lineNumberWidth() const { return m_numberWidth; }
    // "%<width>d" of line `index` + 1, as the gutter draws it.
    QString lineNumberText(int index) const;

    // Width of the number cell (at least 40) and of the whole gutter (cell, then a 16 px gap).
    int numberCellWidth() const;
    int gutterWidth() const;
    QWidget* gutter() const;

    static constexpr int kMinimumNumberCellWidth = 40;
    static constexpr int kGutterGap = 16;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void documentReplaced() override;

private:
    friend class LineNumberGutter;
    void updateGutterWidth();
    void updateGutter(const QRect& rect, int dy);
    void paintGutter(QPaintEvent* event);

    LineNumberGutter* m_gutter = nullptr;
    int m_numberWidth = 1;
};
