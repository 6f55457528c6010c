#pragma once

#include <QString>
#include <array>
#include <cstdint>

// The terminal program's run-time values, shared by every handler of its window.
struct TerminalState
{
    static constexpr int MaxStation = 32;

    int16_t ConfigVersion = 0;
    int16_t StationCount = 0;
    std::array<QString, MaxStation + 1> StationNames; // index = station number
    int16_t PortNumber = 1;                           // 1 = "Com 1"
    int16_t BaudRate = 1200;
    int16_t BaudCode = 0;
    int32_t PortId = 0;
    int32_t PortResult = 0;
    int16_t StationNumber = 1;
    int16_t AddressCode = 123;
    bool TimerExpired = false;
    bool TextTimerExpired = false;
    bool WindowShown = false;
    QString PendingText;

    // Empty for a number the names table does not hold.
    QString stationName(int station) const
    {
        return station >= 0 && size_t(station) < StationNames.size() ? StationNames[size_t(station)] : QString();
    }
};
