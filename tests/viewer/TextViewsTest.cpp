// The File and Diff panes headless: numbered rows and wrapping, lazy layout, selection and keys,
// marked rows, diff colours with highlighted tokens for invisible characters, the empty-diff message.

#include "viewer/DiffLineColor.h"
#include "viewer/DiffView.h"
#include "viewer/FileContentView.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QScrollBar>
#include <QSet>
#include <QTest>

namespace {

bool show(MarkedTextView& view, const QString& text, int width = 400, int height = 300)
{
    view.resize(width, height);
    view.showText(text);
    view.show();
    return QTest::qWaitForWindowExposed(&view);
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

} // namespace

class TextViewsTest : public QObject
{
    Q_OBJECT

private slots:
    void linesAreNumberedRowsThatWrapAndCanBeMarked();
    void keysSelectionCopyAndAccessibility();
    void diffLinesAreColouredByKind();
};

// Every line, empty or not, is one numbered row, a long one several, right below the one before; the
// text starts right of the gutter and wraps anew with the width. A page moves by a screen less a row;
// wherever the cursor goes, its line is in view and only the lines on screen are laid out.
void TextViewsTest::linesAreNumberedRowsThatWrapAndCanBeMarked()
{
    QStringList lines = {"a", "", "b", QString(400, 'x')};
    for (int i = 5; i <= 20000; ++i)
        lines << QStringLiteral("line %1").arg(i);
    FileContentView view;
    QVERIFY(show(view, lines.join('\n'), 300, 300));
    QCOMPARE(view.lineCount(), 20000);
    QCOMPARE(view.lineNumberText(9), QString("   10"));
    QCOMPARE(view.lineRect(1).height(), view.lineRect(0).height());
    QVERIFY(view.lineRect(3).height() > 2 * view.lineRect(0).height());
    for (int line = 1; line < 5; ++line)
        QCOMPARE(view.lineRect(line).top(), view.lineRect(line - 1).bottom());
    QVERIFY(view.gutter()->isVisible());
    QVERIFY(view.gutter()->geometry().right() < view.viewport()->geometry().left());
    const int narrowRows = view.rowCount(3);
    view.resize(900, 300);
    QTRY_VERIFY(view.rowCount(3) < narrowRows);
    QCOMPARE(view.horizontalScrollBar()->maximum(), 0);

    // Marked rows given out of order, twice or out of range are sorted, merged and dropped; marked
    // lines only get the gutter's bar and the line's background.
    view.setMarkedRows({4, -1, 1, 4, 20000});
    QCOMPARE(view.markedRows(), (std::vector<int>{1, 4}));
    const QImage text = view.viewport()->grab().toImage();
    const QImage gutter = view.gutter()->grab().toImage();
    const QColor bar = view.markFormat().background().color();
    for (int line : {0, 1, 2, 4}) { // not the wrapped line, whose text can reach the right edge
        const QRect row = view.lineRect(line).toAlignedRect();
        const bool marked = line == 1 || line == 4;
        const QRect barArea(0, row.top() + 1, MarkedTextView::kMarkBarWidth, row.height() - 2);
        QCOMPARE(hasColour(gutter, barArea, bar), marked);
        const QColor background = text.pixelColor(view.viewport()->width() - 2, row.center().y());
        QCOMPARE(background != view.palette().color(QPalette::Base), marked);
    }

    // From the end, so that no page holds the wrapped line, which it would count as one line.
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    view.grab();
    QVERIFY(view.laidOutLineCount() < 200);
    QCOMPARE(view.cursorPosition(), view.toPlainText().size());
    const QRectF last = view.lineRect(19999);
    QVERIFY(!last.isEmpty() && last.top() >= 0 && last.bottom() <= view.viewport()->height());
    const int rows = view.verticalScrollBar()->pageStep();
    for (const auto& [key, pages] : {std::pair(Qt::Key_PageUp, 30), std::pair(Qt::Key_PageDown, 1)}) {
        for (int i = 0; i < pages; ++i) {
            const int before = view.cursorLine();
            QTest::keyClick(&view, key);
            view.grab();
            const int moved = std::abs(view.cursorLine() - before);
            QVERIFY2(moved > rows / 2 && moved < rows, qPrintable(QString::number(moved)));
            QVERIFY(view.laidOutLineCount() > 0 && view.laidOutLineCount() < 200);
        }
    }
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(view.cursorPosition(), 0);
    QVERIFY(!view.hasSelection());
}

void TextViewsTest::keysSelectionCopyAndAccessibility()
{
    FileContentView view;
    QVERIFY(show(view, "first line\nsecond\nthird"));
    view.setSelection(11, 11);
    QTest::keyClick(&view, Qt::Key_Left); // wraps to the end of the line above
    QCOMPARE(view.cursorPosition(), 10);
    QTest::keyClick(&view, Qt::Key_Down); // to the end of the shorter line below
    QCOMPARE(view.cursorPosition(), 17);
    QVERIFY(!view.hasSelection());

    // A range over a line break copies with "\n", as the file has it.
    view.setSelection(6, 13);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("line\nse"));

    const auto startOf = [&](int line) {
        return QPoint(int(view.lineRect(line).left()) + 1, int(view.lineRect(line).center().y()));
    };
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, startOf(0));
    QTest::mouseMove(view.viewport(), startOf(1));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, startOf(1));
    QCOMPARE(view.selectedText(), QString("first line\n"));

    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), QString("first line\nsecond"));
    QTest::keyClicks(&view, "typed");
    QCOMPARE(view.toPlainText(), QString("first line\nsecond\nthird"));
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.selectedText(), view.toPlainText());

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
    QVERIFY(accessible && accessible->textInterface());
    QAccessibleTextInterface* text = accessible->textInterface();
    QVERIFY(accessible->state().readOnly && accessible->state().multiLine);
    QCOMPARE(text->characterCount(), 23);
    QCOMPARE(text->text(8, 13), QString("ne\nse"));
    text->setSelection(0, 11, 17);
    QCOMPARE(view.selectedText(), QString("second"));
    int start = 0;
    int end = 0;
    view.setSelection(1, 3);
    text->selection(0, &start, &end);
    QCOMPARE(std::pair(start, end), std::pair(1, 3));
    const QRect e = text->characterRect(12);
    QCOMPARE(text->offsetAtPoint(e.topLeft() + QPoint(1, e.height() / 2)), 12);
}

// Each line takes its kind's colour; tokens for hidden characters are highlighted in the line's colour;
// an empty diff shows the message instead.
void TextViewsTest::diffLinesAreColouredByKind()
{
    DiffView view;
    view.resize(640, 480);
    MarkedTextView* shown = view.textView();
    const QColor text = shown->palette().color(QPalette::Text);
    QCOMPARE((QSet<QRgb>{text.rgb(), diffGreen().rgb(), diffRed().rgb(), diffBlue().rgb()}.size()), 4);
    // The first matching test decides: a file header is no added or removed line.
    const std::pair<QString, QColor> rows[] = {
        {"+++ b/f", text},    {"--- a/f", text},
        {"@@", diffBlue()},   {"@x", text},
        {" +context", text},  {"", text},
        {"--", diffRed()},    {"+", diffGreen()},
        {"++x", diffGreen()}, {"+ok \u202Eevil\u2066", diffGreen()},
    };
    QString diff;
    for (const auto& [line, colour] : rows)
        diff += line + '\n';
    view.setDiff(diff);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(!view.isShowingEmptyMessage());
    for (int line = 0; line < int(std::size(rows)); ++line) {
        const QList<QTextLayout::FormatRange> formats = shown->lineFormats(line);
        const QColor drawn = formats.isEmpty() ? text : formats.first().format.foreground().color();
        QCOMPARE(drawn, rows[line].second);
    }
    const QImage image = shown->viewport()->grab().toImage();
    const QColor mark = shown->markFormat().background().color();
    QVERIFY(hasColour(image, shown->lineRect(9).toAlignedRect(), mark));
    QVERIFY(!hasColour(image, shown->lineRect(8).toAlignedRect(), mark));

    view.setDiff(QString());
    QVERIFY(view.isShowingEmptyMessage());
    QCOMPARE(shown->toPlainText(), QString());
}

QTEST_MAIN(TextViewsTest)
#include "TextViewsTest.moc"
