#pragma once

#include <QString>
#include <array>
#include <cstdint>

// The three line speeds both programs offer, in the order of their option buttons, with
// the serial library's code for each.
namespace BaudTable {

struct Speed
{
    int16_t rate;
    int16_t code;
};

inline constexpr std::array<Speed, 3> Speeds{{{1200, 4}, {2400, 5}, {9600, 7}}};

// The option of a rate; -1 for any other.
constexpr int indexOf(int rate)
{
    for (int i = 0; i < int(Speeds.size()); ++i) {
        if (Speeds[i].rate == rate)
            return i;
    }
    return -1;
}

// The option whose rate is exactly this text ("1200", not " 1200"); -1 for any other.
inline int indexOf(const QString &text)
{
    for (int i = 0; i < int(Speeds.size()); ++i) {
        if (text == QString::number(Speeds[i].rate))
            return i;
    }
    return -1;
}

// The baud code of a rate; 0 for any other.
constexpr int16_t codeFor(int rate)
{
    const int i = indexOf(rate);
    return i < 0 ? int16_t(0) : Speeds[i].code;
}

inline QString rateText(int index)
{
    return QString::number(Speeds[index].rate);
}

} // namespace BaudTable
