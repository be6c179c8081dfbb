#pragma once

// The one table from the symbol names the views ask for ("trash", "exclamationmark.triangle.fill" ...)
// to freedesktop icon-theme names, with an SVG of our own for each symbol so that a bare desktop
// without an icon theme still shows every button.

#include <QColor>
#include <QIcon>
#include <QString>
#include <QStringList>

struct SymbolIconEntry
{
    const char* symbol;    // the name the views use
    const char* themeName; // freedesktop icon-theme name; empty: always our own drawing
};

// Every symbol the application uses, in no particular order.
const QList<SymbolIconEntry>& symbolIconTable();

// The theme icon when the current theme has it, otherwise the bundled SVG drawn in the palette's text
// colour. An unknown symbol gives a null icon.
QIcon symbolIcon(const QString& symbol);

// Always the bundled SVG, drawn in `color` (the warnings switch turns yellow, the empty state is grey).
QIcon tintedSymbolIcon(const QString& symbol, const QColor& color);

// ":/symbols/<symbol>.svg", or empty for an unknown symbol.
QString symbolResourcePath(const QString& symbol);

// The tray icon and window icon, "GnomeIcon".
QIcon gnomeIcon();
