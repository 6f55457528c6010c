#pragma once

#include <optional>
#include <string>
#include <vector>

// How "Com N" (port index N-1) becomes a device. A `comN` entry in the working directory
// wins; otherwise Com N is the N-th serial device present under root: ttyS ports with a
// UART behind them, then ttyUSB, then ttyACM, each in numeric order. The kernel's active
// console is never offered. root "" is the real "/".
namespace DeviceNaming {

struct Port {
    std::string path;  // what to open
    std::string label; // what to show the user
};

std::vector<std::string> presentDevices(const std::string &root);
std::optional<Port> portForIndex(int index, const std::string &root);
bool isConsole(const std::string &path, const std::string &root);

} // namespace DeviceNaming
