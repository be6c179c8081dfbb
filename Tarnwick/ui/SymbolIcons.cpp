#include "SymbolIcons.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QSvgRenderer>

static void initResources()
{
    // The resources are compiled into a static library; referencing the initialiser from here keeps
    // the linker from dropping them.
    static const bool done = [] {
        Q_INIT_RESOURCE(tarnwick);
        return true;
    }();
    (void)done;
}

const QList<SymbolIconEntry>& symbolIconTable()
{
    static const QList<SymbolIconEntry> table{
        {"trash", "user-trash"},
        {"folder", "folder"},
        {"power", "system-shutdown"},
        {"plus", "list-add"},
        // The outline and filled triangles differ only in our drawing: themes have one warning icon,
        // and the warnings switch needs its two states and its tint.
        {"exclamationmark.triangle", ""},
        {"exclamationmark.triangle.fill", ""},
        {"folder.badge.questionmark", ""},
        // Opening the file hands it to another application: the arrow out of the square says so,
        // where a theme's "document-open" would read as opening it here.
        {"arrow.up.right.square", ""},
        {"chevron.up", "go-up"},
        {"chevron.down", "go-down"},
    };
    return table;
}

static const SymbolIconEntry* findEntry(const QString& symbol)
{
    for (const auto& entry : symbolIconTable()) {
        if (symbol == QLatin1String(entry.symbol)) {
            return &entry;
        }
    }
    return nullptr;
}

QString symbolResourcePath(const QString& symbol)
{
    if (!findEntry(symbol)) {
        return {};
    }
    return QStringLiteral(":/symbols/%1.svg").arg(symbol);
}

QIcon tintedSymbolIcon(const QString& symbol, const QColor& color)
{
    initResources();
    const QString path = symbolResourcePath(symbol);
    if (path.isEmpty()) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray svg = file.readAll();
    svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        return {};
    }
    QIcon icon;
    for (int size : {16, 24, 32, 48, 72}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon symbolIcon(const QString& symbol)
{
    const SymbolIconEntry* entry = findEntry(symbol);
    if (!entry) {
        return {};
    }
    const QString theme = QString::fromLatin1(entry->themeName);
    if (!theme.isEmpty() && QIcon::hasThemeIcon(theme)) {
        return QIcon::fromTheme(theme);
    }
    return tintedSymbolIcon(symbol, QGuiApplication::palette().color(QPalette::WindowText));
}

QIcon gnomeIcon()
{
    initResources();
    return QIcon(QStringLiteral(":/GnomeIcon.svg"));
}
