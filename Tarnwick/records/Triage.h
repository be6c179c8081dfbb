#pragma once

#include "Finding.h"
#include "ModelContext.h"
#include "RuleIgnore.h"

#include <optional>

// What the user does about a finding: dismiss it (and take that back), or ignore its rule for a file or
// a folder. Each operation writes at once.
namespace Triage {

// Removes the finding from the store. Returns the record itself, which is all undoDismiss needs: it
// keeps the identity and time of intake. nullopt for a null record.
std::optional<Finding> dismiss(ModelContext& context, const Finding& finding);
// Puts a dismissed finding back as it was: same identity, time and values.
bool undoDismiss(ModelContext& context, Finding dismissed);

// Ignores the finding's rule for its file, or with `folder` for the folder that holds the file.
bool ignore(ModelContext& context, const Finding& finding, bool folder);

} // namespace Triage
