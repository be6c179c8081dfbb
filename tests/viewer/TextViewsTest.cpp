// The File and Diff panes headless: gutter numbers, wrapping, lazy layout, highlighted tokens for
// invisible characters, diff colours and the empty-diff message.

#include "viewer/DiffLineColor.h"
#include "viewer/DiffView.h"
#include "viewer/FileContentView.h"
#include "viewer/TextLines.h"

#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

namespace {

QString numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("line %1").arg(i);
    return lines.join(QLatin1Char('\n'));
}

QRectF blockRect(const QPlainTextEdit& view, const QTextBlock& block)
{
    return view.document()->documentLayout()->blockBoundingRect(block);
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
    void readOnlyButSelectable();
    void onlyVisibleLinesAreLaidOut();
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
    QCOMPARE(view.document()->lastBlock().text(), QString());

    // An empty line is as tall as a line of text.
    view.showText(QStringLiteral("a\n\nb\nc"));
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.grab();
    const QTextBlock a = view.document()->firstBlock().next().next();
    const QTextBlock empty = view.document()->firstBlock().next();
    QCOMPARE(empty.text(), QString());
    QVERIFY(blockRect(view, empty).height() > 0);
    QCOMPARE(blockRect(view, empty).height(), blockRect(view, a).height());
}

void TextViewsTest::longLinesWrapAndKeepTheirNumber()
{
    FileContentView view;
    view.resize(300, 300);
    view.showText(QStringLiteral("short\n") + QString(400, QLatin1Char('x')) + QStringLiteral("\nlast"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.grab();
    const QTextBlock shortBlock = view.document()->firstBlock();
    const QTextBlock longBlock = shortBlock.next();
    QVERIFY(longBlock.layout()->lineCount() > 1);
    QVERIFY(blockRect(view, longBlock).height() > 2 * blockRect(view, shortBlock).height());
    QCOMPARE(view.lineCount(), 3);
    QCOMPARE(view.lineNumberText(2), QStringLiteral("3"));
    QVERIFY(view.horizontalScrollBar()->maximum() == 0);
}

void TextViewsTest::readOnlyButSelectable()
{
    FileContentView view;
    view.showText(QStringLiteral("first\nsecond"));
    QVERIFY(view.isReadOnly());
    QVERIFY(view.textInteractionFlags() & Qt::TextSelectableByMouse);
    QVERIFY(view.textInteractionFlags() & Qt::TextSelectableByKeyboard);
    view.selectAll();
    QCOMPARE(view.textCursor().selectedText(), QStringLiteral("first\u2029second"));
    QTest::keyClicks(&view, QStringLiteral("typed"));
    QCOMPARE(view.toPlainText(), QStringLiteral("first\nsecond"));
}

void TextViewsTest::onlyVisibleLinesAreLaidOut()
{
    FileContentView view;
    view.resize(640, 480);
    view.showText(numberedLines(20000));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.grab();
    int laidOut = 0;
    for (QTextBlock block = view.document()->firstBlock(); block.isValid(); block = block.next()) {
        if (block.layout()->lineCount() > 0)
            ++laidOut;
    }
    QVERIFY2(laidOut > 0 && laidOut < 200, qPrintable(QString::number(laidOut)));
    QCOMPARE(view.lineNumberText(19999), QStringLiteral("20000"));
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
    view.grab();
    QCOMPARE(
        view.toPlainText(),
        QStringLiteral("admin = false U+202E// checkU+2066\nU+200Bx\nplain\ntag\u27E6hidden: rm *\u27E7"));
    QCOMPARE(view.lineCount(), 4);
    const QTextCharFormat mark = view.markFormat();
    const QTextBlock first = view.document()->firstBlock();
    QVERIFY(hasMarkAt(first.layout()->formats(), 14, 6, mark));
    QVERIFY(hasMarkAt(first.layout()->formats(), 28, 6, mark));
    QVERIFY(hasMarkAt(first.next().layout()->formats(), 0, 6, mark));
    QVERIFY(first.next().next().layout()->formats().isEmpty());
    // Hidden text is one mark, highlighted from bracket to bracket.
    QVERIFY(hasMarkAt(view.document()->lastBlock().layout()->formats(), 3, 14, mark));
    // The highlight is really drawn: some pixels have the mark's background colour.
    const QImage image = view.viewport()->grab().toImage();
    const QColor background = mark.background().color();
    bool found = false;
    for (int y = 0; y < image.height() && !found; ++y) {
        for (int x = 0; x < image.width() && !found; ++x)
            found = image.pixelColor(x, y) == background;
    }
    QVERIFY(found);
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
    view.textView()->grab();
    const QStringList lines = splitLines(diff);
    QCOMPARE(view.textView()->document()->blockCount(), lines.size());
    QCOMPARE(view.textView()->document()->lastBlock().text(), QString());
    int line = 0;
    for (QTextBlock block = view.textView()->document()->firstBlock(); block.isValid();
         block = block.next(), ++line) {
        const QColor expected = diffLineColor(lines[line], view.textView()->palette());
        const QList<QTextLayout::FormatRange> formats = block.layout()->formats();
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
    view.textView()->grab();
    const QTextBlock block = view.textView()->document()->firstBlock();
    QCOMPARE(block.text(), QStringLiteral("+ok U+202Eevil"));
    const QList<QTextLayout::FormatRange> formats = block.layout()->formats();
    QVERIFY(!formats.isEmpty());
    QCOMPARE(formats.first().format.foreground().color(), diffGreen());
    QVERIFY(hasMarkAt(formats, 4, 6, view.textView()->markFormat()));
    const QTextBlock hidden = block.next();
    QCOMPARE(hidden.text(), QStringLiteral("+x\u27E6hidden: curl\u27E7"));
    const QList<QTextLayout::FormatRange> hiddenFormats = hidden.layout()->formats();
    QVERIFY(!hiddenFormats.isEmpty());
    QCOMPARE(hiddenFormats.first().format.foreground().color(), diffGreen());
    QVERIFY(hasMarkAt(hiddenFormats, 2, 14, view.textView()->markFormat()));
}

QTEST_MAIN(TextViewsTest)
#include "TextViewsTest.moc"
