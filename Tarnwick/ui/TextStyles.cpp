#include "TextStyles.h"

#include <QApplication>
#include <QWidget>

namespace TextStyles {

static QFont scaled(qreal delta, QFont::Weight weight)
{
    QFont font = QApplication::font();
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(qMax<qreal>(6.0, base + delta));
    font.setWeight(weight);
    return font;
}

QFont headline()
{
    return scaled(0.5, QFont::Bold);
}

QFont subheadline()
{
    return scaled(-0.5, QFont::Normal);
}

QFont caption()
{
    return scaled(-1.0, QFont::Normal);
}

QFont caption2()
{
    return scaled(-1.5, QFont::Normal);
}

QColor secondary(const QPalette& palette)
{
    const QColor text = palette.color(QPalette::WindowText);
    const QColor window = palette.color(QPalette::Window);
    // Two thirds of the way from the background to the text keeps contrast on either theme.
    return QColor::fromRgbF((text.redF() * 2 + window.redF()) / 3, (text.greenF() * 2 + window.greenF()) / 3,
                            (text.blueF() * 2 + window.blueF()) / 3);
}

void makeSecondary(QWidget* widget)
{
    QPalette palette = widget->palette();
    const QColor color = secondary(palette);
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

QColor green()
{
    return QColor(0x2e, 0xb8, 0x4b);
}

QColor red()
{
    return QColor(0xe5, 0x39, 0x35);
}

QColor yellow()
{
    // Amber rather than pure yellow, so it stays legible on a light panel too.
    return QColor(0xf0, 0xb4, 0x00);
}

} // namespace TextStyles
