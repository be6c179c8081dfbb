#pragma once

// Screen readers read a MarkedTextView as read-only, multi-line text: its characters, the cursor and
// the selection, as they did with the text edit it replaces. Installed once, for every such view.

void installMarkedTextAccessibility();
