#pragma once

#include "KeptResult.h"
#include "TerminalState.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

class SerialLine;
class LogonWaits;
class LogonView;

// The log-on to the station chosen in the station number box: call it by its address code,
// check the four-byte answer (two attempts, a NAK and a pause after a failed one), and on a
// match open its panel with "E", "N", "D", CR.
class Logon
{
public:
    static constexpr int Attempts = 2;
    static constexpr int PauseAfterRefusal = 2500; // ms
    static constexpr int ReplyLength = 4;

    Logon(TerminalState &state, SerialLine &line, LogonWaits &waits, LogonView &view);

    // LogonCmd_Click. Returns early only when the program is ending.
    void run();

    // Whether an answer names the station: its first two characters read as a number.
    static bool answerMatches(const QByteArray &reply, int16_t stationNumber);

    static QString connectedCaption(const TerminalState &state);
    static QString failureCaption(const TerminalState &state);

private:
    bool attempt();
    bool openPanel();
    void flush(bool receive);

    TerminalState &m_state;
    KeptResult m_keep{m_state.PortResult};
    SerialLine &m_line;
    LogonWaits &m_waits;
    LogonView &m_view;
};
