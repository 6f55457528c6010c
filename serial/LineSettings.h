#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <termios.h>

// The termios side of the library: raw 8N1 without flow control, and the three speeds.
namespace LineSettings {

// Baud codes 4, 5 and 7 are 1200, 2400 and 9600 baud.
std::optional<speed_t> speedForCode(int32_t baudCode);

// Raw bytes both ways, 8 data bits, no parity, 1 stop bit, no flow control, modem lines
// ignored. VMIN 1 with a non-blocking descriptor makes an empty read fail with EAGAIN,
// so a read of 0 bytes always means the device has gone.
void makeRaw(termios &settings);

// How long one character (10 bits of 8N1) takes on the line at the output speed set. A
// speed not listed counts as 1200 baud, the slowest the programs use, so a wait measured
// by it never falls short.
std::chrono::nanoseconds byteTime(const termios &settings);

// Whether two settings run the line alike: framing, flow control, input and output
// processing, the read timing and both speeds. Other fields may differ.
bool sameLine(const termios &a, const termios &b);

// Applies settings; 0 or an errno. A pseudo-terminal may report EINVAL while taking
// the speed: that is accepted when reading the settings back shows them applied.
int apply(int fd, const termios &settings);

} // namespace LineSettings
