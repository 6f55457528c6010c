#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class SerialPort;

// The table of port ids and who wants to hear when one opens, closes or frees room in
// its receive buffer (PortWatcher).
namespace PortRegistry {

constexpr int32_t portCount = 8;

bool validId(int32_t id);
SerialPort *port(int32_t id);
void install(int32_t id, std::unique_ptr<SerialPort> port);
void release(int32_t id);

// Pulls the kernel's bytes into the port's buffer; a device found gone is released.
int32_t pullReceived(int32_t id);

// Releases the port when result says its device went away; returns result.
int32_t settle(int32_t id, int32_t result);

int addListener(std::function<void(int32_t id)> listener);
void removeListener(int handle);
void notify(int32_t id);

} // namespace PortRegistry
