#pragma once

// libyara keeps process-wide state (its allocator, thread-local scan context keys, module tables) that
// must be set up exactly once before any compiler or scanner exists.

namespace tw::yara {

// Initialises libyara on first call; later calls only report the first outcome. Safe from any thread.
bool ensureInitialized();

} // namespace tw::yara
