// Every symbol the views use has a drawing of our own that renders, the tint really colours it, and
// "GnomeIcon" is there for the tray.

#include "ui/SymbolIcons.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTest>

namespace {

// How many pixels of the icon at 32x32 are drawn at all, and whether one of them is close to `color`.
std::pair<int, bool> coverage(const QIcon& icon, const QColor& color = QColor())
{
    const QImage image = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    int drawn = 0;
    bool hasColor = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() <= 128)
                continue;
            ++drawn;
            hasColor = hasColor ||
                       (color.isValid() && qAbs(pixel.red() - color.red()) < 24 &&
                        qAbs(pixel.green() - color.green()) < 24 && qAbs(pixel.blue() - color.blue()) < 24);
        }
    }
    return {drawn, hasColor};
}

} // namespace

class SymbolIconsTest : public QObject
{
    Q_OBJECT
private slots:
    void everySymbolHasADrawing_data();
    void everySymbolHasADrawing();
    void unknownSymbolGivesNoIconAndGnomeIconIsDrawn();
};

void SymbolIconsTest::everySymbolHasADrawing_data()
{
    QTest::addColumn<QString>("symbol");
    QStringList names;
    for (const auto& entry : symbolIconTable()) {
        QTest::newRow(entry.symbol) << QString::fromLatin1(entry.symbol);
        names.append(QString::fromLatin1(entry.symbol));
    }
    // The views rely on these names being in the table.
    for (const char* used :
         {"trash", "folder", "power", "plus", "exclamationmark.triangle", "exclamationmark.triangle.fill",
          "folder.badge.questionmark", "arrow.up.right.square", "chevron.up", "chevron.down"}) {
        QVERIFY2(names.contains(QLatin1String(used)), used);
    }
}

void SymbolIconsTest::everySymbolHasADrawing()
{
    QFETCH(QString, symbol);
    QVERIFY(QFile::exists(symbolResourcePath(symbol)));
    QVERIFY(!symbolIcon(symbol).isNull());
    const QColor red(220, 20, 20);
    const auto [drawn, hasColor] = coverage(tintedSymbolIcon(symbol, red), red);
    QVERIFY(drawn > 10);
    QVERIFY(hasColor);
}

void SymbolIconsTest::unknownSymbolGivesNoIconAndGnomeIconIsDrawn()
{
    QVERIFY(symbolIcon(QStringLiteral("no.such.symbol")).isNull());
    QVERIFY(tintedSymbolIcon(QStringLiteral("no.such.symbol"), Qt::red).isNull());
    QVERIFY(symbolResourcePath(QStringLiteral("../GnomeIcon")).isEmpty());
    // A figure, not a blank square and not a filled one.
    const int drawn = coverage(gnomeIcon()).first;
    QVERIFY2(drawn > 32 * 32 / 5 && drawn < 32 * 32, qPrintable(QString::number(drawn)));
}

QTEST_MAIN(SymbolIconsTest)
#include "SymbolIconsTest.moc"
