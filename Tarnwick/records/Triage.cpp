#include "Triage.h"

#include <QFileInfo>

namespace Triage {

std::optional<Finding> dismiss(ModelContext& context, const Finding& finding)
{
    if (!finding.id().isValid())
        return std::nullopt;
    context.remove(finding);
    // A failed save keeps the removal pending (the main context tries again); undo still cancels it.
    context.save();
    return finding;
}

bool undoDismiss(ModelContext& context, Finding dismissed)
{
    if (!dismissed.id().isValid())
        return false;
    context.insert(dismissed);
    return context.save();
}

bool ignore(ModelContext& context, const Finding& finding, bool folder)
{
    const QString path = folder ? QFileInfo(finding.path()).path() : finding.path();
    return context.addIgnore(RuleIgnore(finding.ruleName(), path, folder));
}

} // namespace Triage
