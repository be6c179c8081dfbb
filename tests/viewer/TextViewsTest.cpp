// The File and Diff panes headless: gutter numbers, wrapping, lazy layout, selection and keys, marked
// rows, highlighted tokens for invisible characters, diff colours and the empty-diff message.

#include "viewer/DiffLineColor.h"
#include "viewer/DiffView.h"
#include "viewer/FileContentView.h"
#include "viewer/TextLines.h"

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
    void emptyAndTrailingLines();
    void longLinesWrapAndKeepTheirNumber();
    void selectionAndCopy();
    void keyboardMovesTheCursor_data();
    void keyboardMovesTheCursor();
    void onlyVisibleLinesAreLaidOut();
    void markedRowsAreDrawnAndVisited();
    void readByAssistiveTechnology();
    void invisibleCharactersAreHighlightedTokens();
    void emptyDiffShowsTheMessage();
    void diffLinesAreColouredByKind();
    void diffColourTable_data();
    void diffColourTable();
    void diffTokensKeepTheLineColour();
};

void TextViewsTest::gutterFollowsLineCount_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("9 lines") << 9 << 1 << "1"
                             << "9";
    QTest::newRow("10 lines") << 10 << 2 << " 1"
                              << "10";
    QTest::newRow("100 lines") << 100 << 3 << "  1"
                               << "100";
}

void TextViewsTest::gutterFollowsLineCount()
{
    QFETCH(int, lines);
    QFETCH(int, width);
    QFETCH(QString, first);
    QFETCH(QString, last);
    FileContentView view;
    view.resize(640, 480);
    view.showText(numberedLines(lines));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.lineCount(), lines);
    QCOMPARE(view.lineNumberWidth(), width);
    QCOMPARE(view.lineNumberText(0), first);
    QCOMPARE(view.lineNumberText(lines - 1), last);
    if (lines >= 10)
        QCOMPARE(view.lineNumberText(8), QString(width - 1, QLatin1Char(' ')) + QLatin1Char('9'));
    QVERIFY(view.numberCellWidth() >= FileContentView::kMinimumNumberCellWidth);
    QVERIFY(view.gutterWidth() >= view.numberCellWidth() + FileContentView::kGutterGap);
    // The text starts right of the gutter: number cell, then the gap.
    QVERIFY(view.gutter()->isVisible());
    QVERIFY(view.viewport()->geometry().left() + 8 >= view.numberCellWidth() + FileContentView::kGutterGap);
    QVERIFY(view.gutter()->geometry().right() < view.viewport()->geometry().left());
}

void TextViewsTest::emptyAndTrailingLines()
{
    FileContentView view;
    view.showText(QString());
    QCOMPARE(view.lineCount(), 1);
    QCOMPARE(view.lineNumberText(0), QStringLiteral("1"));

    view.showText(QStringLiteral("a\nb\n"));
    QCOMPARE(view.lineCount(), 3);
    QCOMPARE(view.lineNumberText(2), QStringLiteral("3"));
    QCOMPARE(view.lineText(2), QString());

    // An empty line is as tall as a line of text.
    view.showText(QStringLiteral("a\n\nb\nc"));
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.lineText(1), QString());
    QVERIFY(view.lineRect(1).height() > 0);
    QCOMPARE(view.lineRect(1).height(), view.lineRect(2).height());
    QCOMPARE(view.lineRect(2).top(), view.lineRect(1).bottom());
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

void TextViewsTest::selectionAndCopy()
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

    // Next and previous go from the cursor's line; the row lands about a third from the top.
    QVERIFY(view.goToNextMarkedRow());
    QCOMPARE(view.cursorLine(), 1);
    QVERIFY(view.goToNextMarkedRow());
    QVERIFY(view.goToNextMarkedRow());
    QCOMPARE(view.cursorLine(), 2500);
    QCOMPARE(view.cursorPosition(), view.toPlainText().indexOf(QStringLiteral("line 2501")));
    const QRectF row = view.lineRect(2500);
    QVERIFY(qAbs(row.top() - view.viewport()->height() / 3.0) <= row.height());
    QVERIFY(!view.goToNextMarkedRow());
    QCOMPARE(view.cursorLine(), 2500);
    QVERIFY(view.goToPreviousMarkedRow());
    QCOMPARE(view.cursorLine(), 3);
    QVERIFY(view.goToPreviousMarkedRow());
    QVERIFY(!view.goToPreviousMarkedRow());
    QCOMPARE(view.cursorLine(), 1);
}

void TextViewsTest::readByAssistiveTechnology()
{
    FileContentView view;
    view.resize(400, 300);
    view.showText(QStringLiteral("first\nsecond"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
    QVERIFY(accessible && accessible->textInterface());
    QAccessibleTextInterface* text = accessible->textInterface();
    QVERIFY(accessible->state().readOnly && accessible->state().multiLine);
    QCOMPARE(text->characterCount(), 12);
    QCOMPARE(text->text(3, 8), QStringLiteral("st\nse"));
    text->setSelection(0, 6, 12);
    QCOMPARE(view.selectedText(), QStringLiteral("second"));
    int start = 0;
    int end = 0;
    view.setSelection(1, 3);
    text->selection(0, &start, &end);
    QCOMPARE(std::pair(start, end), std::pair(1, 3));
    const QRect second = text->characterRect(7);
    QVERIFY(!second.isEmpty());
    QCOMPARE(text->offsetAtPoint(second.topLeft() + QPoint(1, second.height() / 2)), 7);
}

void TextViewsTest::invisibleCharactersAreHighlightedTokens()
{
    FileContentView view;
    view.resize(640, 480);
    const QString text = QStringLiteral(
        "admin = false \u202E// check\u2066\n\u200Bx\nplain\ntag\U000E0072\U000E006D\U000E0020\U000E002A");
    view.showText(text);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(
        view.toPlainText(),
        QStringLiteral("admin = false U+202E// checkU+2066\nU+200Bx\nplain\ntag\u27E6hidden: rm *\u27E7"));
    QCOMPARE(view.lineCount(), 4);
    const QTextCharFormat mark = view.markFormat();
    QVERIFY(hasMarkAt(view.lineFormats(0), 14, 6, mark));
    QVERIFY(hasMarkAt(view.lineFormats(0), 28, 6, mark));
    QVERIFY(hasMarkAt(view.lineFormats(1), 0, 6, mark));
    QVERIFY(view.lineFormats(2).isEmpty());
    // Hidden text is one mark, highlighted from bracket to bracket.
    QVERIFY(hasMarkAt(view.lineFormats(3), 3, 14, mark));
    // The highlight is really drawn: some pixels have the mark's background colour.
    const QImage image = view.viewport()->grab().toImage();
    QVERIFY(hasColour(image, view.lineRect(1).toAlignedRect(), mark.background().color()));
    QVERIFY(!hasColour(image, view.lineRect(2).toAlignedRect(), mark.background().color()));
}

void TextViewsTest::emptyDiffShowsTheMessage()
{
    DiffView view;
    view.setDiff(QString());
    QVERIFY(view.isShowingEmptyMessage());
    QCOMPARE(view.emptyMessage()->text(), QStringLiteral("No git changes detected"));
    view.setDiff(QStringLiteral("+x\n"));
    QVERIFY(!view.isShowingEmptyMessage());
    view.setDiff(QString());
    QVERIFY(view.isShowingEmptyMessage());
    QCOMPARE(view.textView()->toPlainText(), QString());
}

void TextViewsTest::diffLinesAreColouredByKind()
{
    const QString diff = QStringLiteral("diff --git a/f b/f\n"
                                        "index 1..2 100644\n"
                                        "--- a/f\n"
                                        "+++ b/f\n"
                                        "@@ -1,2 +1,2 @@\n"
                                        " context\n"
                                        "-old\n"
                                        "+new\n"
                                        "\\ No newline at end of file\n");
    DiffView view;
    view.resize(640, 480);
    view.setDiff(diff);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QStringList lines = splitLines(diff);
    QCOMPARE(view.textView()->lineCount(), lines.size());
    QCOMPARE(view.textView()->lineText(lines.size() - 1), QString());
    for (int line = 0; line < lines.size(); ++line) {
        const QColor expected = diffLineColor(lines[line], view.textView()->palette());
        const QList<QTextLayout::FormatRange> formats = view.textView()->lineFormats(line);
        const QColor drawn = formats.isEmpty() ? view.textView()->palette().color(QPalette::Text)
                                               : formats.first().format.foreground().color();
        QCOMPARE(drawn, expected);
    }
}

void TextViewsTest::diffColourTable_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QColor>("colour");
    const QColor text = QPalette().color(QPalette::Text);
    QTest::newRow("added") << "+x" << diffGreen();
    QTest::newRow("removed") << "-x" << diffRed();
    QTest::newRow("+++") << "+++ b/x" << text;
    QTest::newRow("@@") << "@@ -1 +1 @@" << diffBlue();
    QTest::newRow("context") << " +x" << text;
}

void TextViewsTest::diffColourTable()
{
    QFETCH(QString, line);
    QFETCH(QColor, colour);
    QCOMPARE(diffLineColor(line), colour);
    // Distinct from each other and from the text colour, so the kinds can be told apart.
    QVERIFY(diffGreen() != diffRed() && diffRed() != diffBlue() && diffGreen() != diffBlue());
}

void TextViewsTest::diffTokensKeepTheLineColour()
{
    DiffView view;
    view.resize(640, 480);
    view.setDiff(QStringLiteral("+ok \u202Eevil\n+x\U000E0063\U000E0075\U000E0072\U000E006C\n"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.textView()->lineText(0), QStringLiteral("+ok U+202Eevil"));
    const QList<QTextLayout::FormatRange> formats = view.textView()->lineFormats(0);
    QVERIFY(!formats.isEmpty());
    QCOMPARE(formats.first().format.foreground().color(), diffGreen());
    QVERIFY(hasMarkAt(formats, 4, 6, view.textView()->markFormat()));
    QCOMPARE(view.textView()->lineText(1), QStringLiteral("+x\u27E6hidden: curl\u27E7"));
    const QList<QTextLayout::FormatRange> hiddenFormats = view.textView()->lineFormats(1);
    QVERIFY(!hiddenFormats.isEmpty());
    QCOMPARE(hiddenFormats.first().format.foreground().color(), diffGreen());
    QVERIFY(hasMarkAt(hiddenFormats, 2, 14, view.textView()->markFormat()));
}

QTEST_MAIN(TextViewsTest)
#include "TextViewsTest.moc"
