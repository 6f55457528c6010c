#include "LastError.h"

#include <cerrno>
#include <cstring>

namespace {
std::string lastReason;
}

namespace LastError {

int32_t set(int32_t result, std::string reason)
{
    lastReason = std::move(reason);
    return result;
}

const char *text()
{
    return lastReason.c_str();
}

std::string describe(const std::string &what, int error)
{
    std::string reason = what + ": " + std::strerror(error);
    if (error == EACCES || error == EPERM)
        reason += " (the user needs to be in the dialout group: sudo usermod -aG dialout $USER, "
                  "then log in again)";
    return reason;
}

} // namespace LastError
