#include "ClosingRule.h"

#include "SerialLine.h"

std::optional<int32_t> closePort(SerialLine &line, int32_t port, const KeptResult &keep)
{
    if (keep(line.IsPortAvailable(port)) != 0)
        return std::nullopt;
    return keep(line.UnInitializePort(port));
}
