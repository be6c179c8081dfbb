#include "rules/YaraRuntime.h"

#include <yara.h>

#include <mutex>

namespace tw::yara {

bool ensureInitialized()
{
    static std::once_flag once;
    static bool ok = false;
    // Never finalised: compiled rules and scanners may outlive main() in detached worker threads, and
    // libyara's teardown would pull their memory away. The process exit reclaims it.
    std::call_once(once, [] { ok = yr_initialize() == ERROR_SUCCESS; });
    return ok;
}

} // namespace tw::yara
