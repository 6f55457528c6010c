#pragma once

#include "KeptResult.h"

#include <cstdint>
#include <optional>

class SerialLine;

// Closing a port: UnInitializePort only when IsPortAvailable reports it open (0), both
// results kept. Gives UnInitializePort's result, or nothing when the port was not open.
std::optional<int32_t> closePort(SerialLine &line, int32_t port, const KeptResult &keep);
