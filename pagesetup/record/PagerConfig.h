#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

// One station's pager configuration as the setup window edits it, the file stores it and
// the download sends it. Numbers the user types are kept as the text typed.
struct PagerConfig
{
    static constexpr int MaxInputs = 512;
    static constexpr int GroupRows = 32;
    static constexpr int DialEntries = 16;

    // Stored, in file order.
    QString FileVersion;
    QString BaudRate;
    int16_t PortNumber = 0;
    int16_t Reserved1 = 0;
    int16_t Reserved2 = 0;
    QString InputCount;
    QString ModeCode;
    QString RecallMinutes;
    QString AlternatePager;
    QString ManagerPager;
    std::array<QString, MaxInputs + 1> InputPagers;
    std::array<QString, MaxInputs + 1> InputTexts;
    // Unset (no value) is distinct from 0 (box clear) and 1 (box ticked).
    std::array<std::optional<int16_t>, MaxInputs + 1> InputNormEmer;
    int16_t EpromVersion = 0;
    std::array<std::array<QString, 4>, GroupRows> GroupPagers; // slots 1 to 3 used
    std::array<QString, DialEntries> WideAreaDial;

    // Derived, never stored.
    std::array<int16_t, 4> ModeFlags{}; // 1 to 3 used: individual, alternate, manager
    std::array<int16_t, GroupRows> GroupCounts{};

    void SetDefaults();
    void DeriveModeCode();
    // Sets ModeFlags from ModeCode; the window ticks its mode boxes from them.
    void ApplyModeCode();
    void CompactGroupPagers();
    int16_t CountGroupPagers();

    // The integer value of InputCount as the file and the download use it: never above
    // MaxInputs, so no array is indexed past its end; 0 or less means no inputs.
    int inputCountN() const;
};

// The setup program's run-time values that go with the record.
struct SetupState
{
    int16_t StationNumber = 1;
    QString ConfigFileName = QStringLiteral("pagcfg01.dat");
    int32_t PortId = 0;
    int32_t PortIndex = 0;
    int16_t BaudCode = 0;
    int32_t PortResult = 0;
    int16_t TimerExpired = 0; // true is -1

    // StationNumber := n and ConfigFileName := its file.
    void SetStation(int16_t n);
};

// Baud option 0, 1 or 2: BaudRate "1200", "2400" or "9600", BaudCode 4, 5 or 7.
void SetBaudRate(PagerConfig &config, SetupState &state, int index);
// PortNumber := n, PortIndex := n - 1.
void SetPortNumber(PagerConfig &config, SetupState &state, int16_t n);
// "pagcfg" + the station number in at least two digits + ".dat".
QString configFileName(int stationNumber);
