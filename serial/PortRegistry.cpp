#include "PortRegistry.h"

#include "SerialPort.h"
#include "commdrv.h"

#include <array>
#include <map>
#include <vector>

namespace PortRegistry {
namespace {

std::array<std::unique_ptr<SerialPort>, portCount> ports;
std::map<int, std::function<void(int32_t)>> listeners;
int nextHandle = 1;

} // namespace

bool validId(int32_t id)
{
    return id >= 0 && id < portCount;
}

SerialPort *port(int32_t id)
{
    return validId(id) ? ports[id].get() : nullptr;
}

void install(int32_t id, std::unique_ptr<SerialPort> port)
{
    ports[id] = std::move(port);
    notify(id);
}

void release(int32_t id)
{
    // Listeners let go of the descriptor before it closes.
    const std::unique_ptr<SerialPort> closing = std::move(ports[id]);
    if (closing)
        notify(id);
}

int32_t pullReceived(int32_t id)
{
    SerialPort *open = port(id);
    return open ? settle(id, open->pull()) : CdrvNotOpen;
}

int32_t settle(int32_t id, int32_t result)
{
    if (result == CdrvDeviceLost)
        release(id);
    return result;
}

int addListener(std::function<void(int32_t)> listener)
{
    listeners.emplace(nextHandle, std::move(listener));
    return nextHandle++;
}

void removeListener(int handle)
{
    listeners.erase(handle);
}

void notify(int32_t id)
{
    // A listener may add or remove listeners while it runs.
    std::vector<int> handles;
    handles.reserve(listeners.size());
    for (const auto &entry : listeners)
        handles.push_back(entry.first);
    for (int handle : handles) {
        const auto found = listeners.find(handle);
        if (found != listeners.end()) {
            auto listener = found->second;
            listener(id);
        }
    }
}

} // namespace PortRegistry
