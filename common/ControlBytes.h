#pragma once

// The control bytes of the station line, by their ASCII names.
namespace ControlBytes {

inline constexpr char EOT = 0x04;
inline constexpr char ENQ = 0x05;
inline constexpr char ACK = 0x06;
inline constexpr char CR = 0x0D;
inline constexpr char NAK = 0x15;

} // namespace ControlBytes
