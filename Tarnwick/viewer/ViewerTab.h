#pragma once

#include <QString>

#include <array>
#include <optional>

// The two views of a file viewer window, in the order of their segments on screen.
enum class ViewerTab { Diff, File };

inline constexpr std::array<ViewerTab, 2> allViewerTabs{ViewerTab::Diff, ViewerTab::File};

// "Diff" / "File": the segment label and the raw value.
QString viewerTabRawValue(ViewerTab tab);

// Exactly "Diff" or "File" (case-sensitive); anything else gives no tab.
std::optional<ViewerTab> viewerTabFromRawValue(const QString& raw);
