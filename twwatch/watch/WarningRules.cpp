#include "WarningRules.h"

#include <cerrno>

namespace tw::warnings {

std::string_view ruleForErrno(int error)
{
    switch (error) {
    case ENOSPC:
        return watchLimit;
    case EMFILE:
    case ENFILE:
        return tooManyOpenFiles;
    case EACCES:
    case EPERM:
        return permissionDenied;
    case ENOTDIR:
        return notADirectory;
    default:
        return watchFailed;
    }
}

} // namespace tw::warnings
