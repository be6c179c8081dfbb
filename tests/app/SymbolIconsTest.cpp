// Every symbol the views use has a drawing of our own that renders, the tint really colours it, and
// "GnomeIcon" is there for the tray.

#include "ui/SymbolIcons.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTest>

namespace {

// The share of pixels that are drawn at all, and whether one of them is close to `color`.
struct Coverage
{
    int drawn = 0;
    bool hasColor = false;
};

Coverage coverage(const QIcon& icon, const QColor& color = QColor())
{
    const QImage image = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    Coverage result;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() > 128) {
                ++result.drawn;
                if (color.isValid() && qAbs(pixel.red() - color.red()) < 24 &&
                    qAbs(pixel.green() - color.green()) < 24 && qAbs(pixel.blue() - color.blue()) < 24) {
                    result.hasColor = true;
                }
            }
        }
    }
    return result;
}

} // namespace

class SymbolIconsTest : public QObject
{
    Q_OBJECT
private slots:
    void everySymbolHasADrawing_data();
    void everySymbolHasADrawing();
    void unknownSymbolGivesNoIcon();
    void gnomeIconIsDrawn();
};

void SymbolIconsTest::everySymbolHasADrawing_data()
{
    QTest::addColumn<QString>("symbol");
    for (const auto& entry : symbolIconTable()) {
        QTest::newRow(entry.symbol) << QString::fromLatin1(entry.symbol);
    }
    // The views rely on these names being in the table.
    QStringList names;
    for (const auto& entry : symbolIconTable()) {
        names.append(QString::fromLatin1(entry.symbol));
    }
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
    const QColor red(220, 20, 20);
    const Coverage tinted = coverage(tintedSymbolIcon(symbol, red), red);
    QVERIFY2(tinted.drawn > 10, qPrintable(symbol));
    QVERIFY2(tinted.hasColor, qPrintable(symbol));
    QVERIFY(!symbolIcon(symbol).isNull());
}

void SymbolIconsTest::unknownSymbolGivesNoIcon()
{
    QVERIFY(symbolIcon(QStringLiteral("no.such.symbol")).isNull());
    QVERIFY(tintedSymbolIcon(QStringLiteral("no.such.symbol"), Qt::red).isNull());
    QVERIFY(symbolResourcePath(QStringLiteral("../GnomeIcon")).isEmpty());
}

void SymbolIconsTest::gnomeIconIsDrawn()
{
    const Coverage drawn = coverage(gnomeIcon());
    // A figure, not a blank square and not a filled one.
    QVERIFY2(drawn.drawn > 32 * 32 / 5, qPrintable(QString::number(drawn.drawn)));
    QVERIFY2(drawn.drawn < 32 * 32, qPrintable(QString::number(drawn.drawn)));
}

QTEST_MAIN(SymbolIconsTest)
#include "SymbolIconsTest.moc"
