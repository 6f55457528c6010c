#pragma once

#include <QString>
#include <QStringView>

struct TerminalState;

// The two label captions that show the address code of the station being entered.
struct StationLabels
{
    QString ascii;     // "Ascii value of code for station is 123"
    QString character; // "Character is {"
};

// The station number box changed: StationNumber and AddressCode follow its text, and the
// labels show the new code.
StationLabels StaTxt_Change(TerminalState &state, QStringView text);
