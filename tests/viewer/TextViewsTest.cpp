// The File and Diff panes headless: gutter numbers, wrapping, lazy layout, selection and keys, marked
// rows, highlighted tokens for invisible characters, diff colours and the empty-diff message.

#include "viewer/DiffLineColor.h"
#include "viewer/DiffView.h"
#include "viewer/FileContentView.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

namespace {

QString numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines.join(QLatin1Char('\n'));
}

bool hasColour(const QImage& image, const QRect& area, const QColor& colour)
{
    for (int y = area.top(); y <= area.bottom() && y < image.height(); ++y) {
        for (int x = area.left(); x <= area.right() && x < image.width(); ++x) {
            if (image.pixelColor(x, y) == colour)
                return true;
        }
    }
    return false;
}

bool hasMarkAt(const QList<QTextLayout::FormatRange>& formats, int start, int length,
               const QTextCharFormat& mark)
{
    for (const QTextLayout::FormatRange& range : formats) {
        if (range.start == start && range.length == length && range.format.background() == mark.background())
            return true;
    }
    return false;
}

} // namespace

class TextViewsTest : public QObject
{
    Q_OBJECT

private slots:
    void gutterFollowsLineCount_data();
    void gutterFollowsLineCount();
    void longLinesWrapAndKeepTheirNumber();
    void selectionCopyAndAccessibility();
    void keyboardMovesTheCursor_data();
    void keyboardMovesTheCursor();
    void onlyVisibleLinesAreLaidOut();
    void markedRowsAreDrawnAndVisited();
    void diffLinesAreColouredByKind();
};

void TextViewsTest::gutterFollowsLineCount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("last");
    QTest::newRow("empty") << QString() << 1 << 1 << "1";
    QTest::newRow("empty lines, final line feed") << QStringLiteral("a\n\nb\n") << 4 << 1 << "4";
    QTest::newRow("9 lines") << numberedLines(9) << 9 << 1 << "9";
    QTest::newRow("10 lines") << numberedLines(10) << 10 << 2 << "10";
    QTest::newRow("100 lines") << numberedLines(100) << 100 << 3 << "100";
}

void TextViewsTest::gutterFollowsLineCount()
{
    QFETCH(QString, text);
    QFETCH(int, lines);
    QFETCH(int, width);
    QFETCH(QString, last);
    FileContentView view;
    view.resize(640, 480);
    view.showText(text);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.lineCount(), lines);
    QCOMPARE(view.lineNumberWidth(), width);
    QCOMPARE(view.lineNumberText(0), QString(width - 1, QLatin1Char(' ')) + QLatin1Char('1'));
    QCOMPARE(view.lineNumberText(lines - 1), last);
    // Every line, empty or not, is one row as tall as the first, right below the one before.
    for (int line = 1; line < std::min(lines, 5); ++line) {
        QCOMPARE(view.lineRect(line).height(), view.lineRect(0).height());
        QCOMPARE(view.lineRect(line).top(), view.lineRect(line - 1).bottom());
    }
    QVERIFY(view.numberCellWidth() >= FileContentView::kMinimumNumberCellWidth);
    QVERIFY(view.gutterWidth() >= view.numberCellWidth() + FileContentView::kGutterGap);
    // The text starts right of the gutter: number cell, then the gap.
    QVERIFY(view.gutter()->isVisible());
    QVERIFY(view.viewport()->geometry().left() + 8 >= view.numberCellWidth() + FileContentView::kGutterGap);
    QVERIFY(view.gutter()->geometry().right() < view.viewport()->geometry().left());
}

void TextViewsTest::longLinesWrapAndKeepTheirNumber()
{
    FileContentView view;
    view.resize(300, 300);
    view.showText(QStringLiteral("short\n") + QString(400, QLatin1Char('x')) + QStringLiteral("\nlast"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(view.rowCount(1) > 2);
    QVERIFY(view.lineRect(1).height() > 2 * view.lineRect(0).height());
    // The next line starts below all rows of the wrapped one.
    QCOMPARE(view.lineRect(2).top(), view.lineRect(1).bottom());
    // Wider, it wraps anew into fewer rows.
    const int narrowRows = view.rowCount(1);
    view.resize(900, 300);
    QTRY_VERIFY(view.rowCount(1) < narrowRows);
    QCOMPARE(view.lineCount(), 3);
    QCOMPARE(view.lineNumberText(2), QStringLiteral("3"));
    QVERIFY(view.horizontalScrollBar()->maximum() == 0);
}

void TextViewsTest::selectionCopyAndAccessibility()
{
    FileContentView view;
    view.resize(400, 300);
    view.showText(QStringLiteral("first line\nsecond\nthird"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    // A range over a line break copies with "\n", as the file has it.
    view.setSelection(6, 13);
    QCOMPARE(view.selectedText(), QStringLiteral("line\nse"));
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("line\nse"));

    // Dragging with the mouse from the start of line 1 into line 2.
    const QRectF first = view.lineRect(0);
    const QRectF second = view.lineRect(1);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {},
                      QPoint(int(first.left()) + 1, int(first.center().y())));
    QTest::mouseMove(view.viewport(), QPoint(int(second.left()) + 1, int(second.center().y())));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {},
                        QPoint(int(second.left()) + 1, int(second.center().y())));
    QCOMPARE(view.selectedText(), QStringLiteral("first line\n"));

    // Shift extends from the anchor; typing changes nothing.
    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), QStringLiteral("first line\nsecond"));
    QTest::keyClicks(&view, QStringLiteral("typed"));
    QCOMPARE(view.toPlainText(), QStringLiteral("first line\nsecond\nthird"));
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.selectedText(), view.toPlainText());

    // Screen readers get the same text, selection and geometry.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
    QVERIFY(accessible && accessible->textInterface());
    QAccessibleTextInterface* text = accessible->textInterface();
    QVERIFY(accessible->state().readOnly && accessible->state().multiLine);
    QCOMPARE(text->characterCount(), 23);
    QCOMPARE(text->text(8, 13), QStringLiteral("ne\nse"));
    text->setSelection(0, 11, 17);
    QCOMPARE(view.selectedText(), QStringLiteral("second"));
    int start = 0;
    int end = 0;
    view.setSelection(1, 3);
    text->selection(0, &start, &end);
    QCOMPARE(std::pair(start, end), std::pair(1, 3));
    const QRect e = text->characterRect(12);
    QVERIFY(!e.isEmpty());
    QCOMPARE(text->offsetAtPoint(e.topLeft() + QPoint(1, e.height() / 2)), 12);
}

void TextViewsTest::keyboardMovesTheCursor_data()
{
    // From the start of line 1000 of 5000 lines "line N", one key each.
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::newRow("end") << int(Qt::Key_End) << 0 << 1000 << 9;
    QTest::newRow("right") << int(Qt::Key_Right) << 0 << 1000 << 1;
    QTest::newRow("left wraps up") << int(Qt::Key_Left) << 0 << 999 << 9;
    QTest::newRow("down") << int(Qt::Key_Down) << 0 << 1001 << 0;
    QTest::newRow("up") << int(Qt::Key_Up) << 0 << 999 << 0;
    QTest::newRow("ctrl+end") << int(Qt::Key_End) << int(Qt::ControlModifier) << 4999 << 9;
    QTest::newRow("ctrl+home") << int(Qt::Key_Home) << int(Qt::ControlModifier) << 0 << 0;
    QTest::newRow("page down") << int(Qt::Key_PageDown) << 0 << -1 << 0;
    QTest::newRow("page up") << int(Qt::Key_PageUp) << 0 << -2 << 0;
}

void TextViewsTest::keyboardMovesTheCursor()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, line);
    QFETCH(int, column);
    FileContentView view;
    view.resize(400, 300);
    view.showText(numberedLines(5000));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.scrollToRow(1000);
    QCOMPARE(view.cursorLine(), 1000);
    QTest::keyClick(&view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    const int rows = view.verticalScrollBar()->pageStep();
    if (line == -1) // a page down, minus a row of overlap
        QVERIFY2(view.cursorLine() > 1000 + rows / 2 && view.cursorLine() < 1000 + rows,
                 qPrintable(QString::number(view.cursorLine())));
    else if (line == -2)
        QVERIFY2(view.cursorLine() < 1000 - rows / 2 && view.cursorLine() > 1000 - rows,
                 qPrintable(QString::number(view.cursorLine())));
    else
        QCOMPARE(view.cursorLine(), line);
    if (line >= 0) {
        const qsizetype start = view.toPlainText().indexOf(QStringLiteral("line %1").arg(line + 1));
        QCOMPARE(view.cursorPosition() - start, column);
    }
    QVERIFY(!view.hasSelection());
    // The cursor's line is in view, whole.
    const QRectF shown = view.lineRect(view.cursorLine());
    QVERIFY(!shown.isEmpty());
    QVERIFY(shown.top() >= 0 && shown.bottom() <= view.viewport()->height());
}

void TextViewsTest::onlyVisibleLinesAreLaidOut()
{
    FileContentView view;
    view.resize(640, 480);
    view.showText(numberedLines(20000));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.grab();
    QVERIFY2(view.laidOutLineCount() > 0 && view.laidOutLineCount() < 200,
             qPrintable(QString::number(view.laidOutLineCount())));
    for (int i = 0; i < 30; ++i) {
        QTest::keyClick(&view, Qt::Key_PageDown);
        view.grab();
    }
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    view.grab();
    QVERIFY2(view.laidOutLineCount() < 200, qPrintable(QString::number(view.laidOutLineCount())));
    QVERIFY(!view.lineRect(19999).isEmpty());
    QCOMPARE(view.lineNumberText(19999), QStringLiteral("20000"));
}

void TextViewsTest::markedRowsAreDrawnAndVisited()
{
    FileContentView view;
    view.resize(400, 300);
    view.showText(numberedLines(3000));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setMarkedRows({2500, 3, -1, 1, 3, 3000});
    QCOMPARE(view.markedRows(), (std::vector<int>{1, 3, 2500}));

    // On screen: the gutter's bar and the line's background on marked lines only.
    const QImage text = view.viewport()->grab().toImage();
    const QImage gutter = view.gutter()->grab().toImage();
    const QColor bar = view.markFormat().background().color();
    for (int line : {0, 1, 2, 3}) {
        const QRect row = view.lineRect(line).toAlignedRect();
        const bool marked = line == 1 || line == 3;
        const QRect barArea(0, row.top() + 1, MarkedTextView::kMarkBarWidth, row.height() - 2);
        QCOMPARE(hasColour(gutter, barArea, bar), marked);
        const QColor background = text.pixelColor(view.viewport()->width() - 2, row.center().y());
        QCOMPARE(background != view.palette().color(QPalette::Base), marked);
    }

    // Stepping through them is the viewer window's test; here only where the cursor lands.
    QVERIFY(view.goToNextMarkedRow());
    QCOMPARE(view.cursorLine(), 1);
    QCOMPARE(view.cursorPosition(), view.toPlainText().indexOf(QStringLiteral("line 2")));
}

// Each line takes its kind's colour; tokens for hidden characters are highlighted, hidden text from
// bracket to bracket, in the line's colour; an empty diff shows the message instead.
void TextViewsTest::diffLinesAreColouredByKind()
{
    DiffView view;
    view.resize(640, 480);
    view.setDiff(QString());
    QVERIFY(view.isShowingEmptyMessage());
    QCOMPARE(view.emptyMessage()->text(), QStringLiteral("No git changes detected"));

    MarkedTextView* shown = view.textView();
    const QColor text = shown->palette().color(QPalette::Text);
    QVERIFY(diffGreen() != diffRed() && diffRed() != diffBlue() && diffGreen() != diffBlue());
    QVERIFY(text != diffGreen() && text != diffRed() && text != diffBlue());
    const std::pair<QString, QColor> rows[] = {
        {QStringLiteral("diff --git a/f b/f"), text},
        {QStringLiteral("index 1..2 100644"), text},
        {QStringLiteral("--- a/f"), text},
        {QStringLiteral("+++ b/f"), text},
        {QStringLiteral("@@ -1,2 +1,2 @@"), diffBlue()},
        {QStringLiteral(" +context"), text},
        {QStringLiteral("-old"), diffRed()},
        {QStringLiteral("+new"), diffGreen()},
        {QStringLiteral("+ok \u202Eevil\u2066"), diffGreen()},
        {QStringLiteral("+x\U000E0063\U000E0075\U000E0072\U000E006C"), diffGreen()},
        {QStringLiteral("\\ No newline at end of file"), text},
    };
    QString diff;
    for (const auto& [line, colour] : rows)
        diff += line + QLatin1Char('\n');
    view.setDiff(diff);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(!view.isShowingEmptyMessage());
    QCOMPARE(shown->lineCount(), int(std::size(rows)) + 1);
    for (int line = 0; line < int(std::size(rows)); ++line) {
        const QList<QTextLayout::FormatRange> formats = shown->lineFormats(line);
        const QColor drawn = formats.isEmpty() ? text : formats.first().format.foreground().color();
        QCOMPARE(drawn, rows[line].second);
    }
    const QTextCharFormat mark = shown->markFormat();
    QCOMPARE(shown->lineText(8), QStringLiteral("+ok U+202EevilU+2066"));
    QVERIFY(hasMarkAt(shown->lineFormats(8), 4, 6, mark));
    QVERIFY(hasMarkAt(shown->lineFormats(8), 14, 6, mark));
    QCOMPARE(shown->lineText(9), QStringLiteral("+x\u27E6hidden: curl\u27E7"));
    QVERIFY(hasMarkAt(shown->lineFormats(9), 2, 14, mark));
    const QImage image = shown->viewport()->grab().toImage();
    QVERIFY(hasColour(image, shown->lineRect(8).toAlignedRect(), mark.background().color()));
    QVERIFY(!hasColour(image, shown->lineRect(7).toAlignedRect(), mark.background().color()));

    view.setDiff(QString());
    QVERIFY(view.isShowingEmptyMessage());
    QCOMPARE(shown->toPlainText(), QString());
}

QTEST_MAIN(TextViewsTest)
#include "TextViewsTest.moc"
