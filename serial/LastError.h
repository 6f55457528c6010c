#pragma once

#include <cstdint>
#include <string>

// The one error path of the library: every failure stores a readable reason and hands
// back its result code.
namespace LastError {

int32_t set(int32_t result, std::string reason);
const char *text();

// "<what>: <errno text>", plus the dialout hint where the user lacks permission.
std::string describe(const std::string &what, int error);

} // namespace LastError
