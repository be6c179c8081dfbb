#include "viewer/ViewerTab.h"

QString viewerTabRawValue(ViewerTab tab)
{
    switch (tab) {
    case ViewerTab::Diff:
        return QStringLiteral("Diff");
    case ViewerTab::File:
        return QStringLiteral("File");
    }
    return {};
}

std::optional<ViewerTab> viewerTabFromRawValue(const QString& raw)
{
    for (ViewerTab tab : allViewerTabs) {
        if (viewerTabRawValue(tab) == raw)
            return tab;
    }
    return std::nullopt;
}
