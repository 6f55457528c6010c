#pragma once

#include <QByteArrayView>
#include <QString>

struct TerminalState;

// Gathers received bytes into pieces for the terminal text: a piece ends at a CR (shown as
// a line break at once) or after 100 ms without a byte. Every other byte, LF included, is a
// character of its own. Time comes from outside: the owner runs the quiet timer as told and
// reports its tick, so the rules can be checked on a virtual clock.
class TerminalExchange
{
public:
    static constexpr int QuietInterval = 100; // ms
    // A line that never falls quiet and never ends (a device streaming without CR) is shown
    // in pieces of this length instead of being held back without limit.
    static constexpr int MaxPieceLength = 4096;

    class Output
    {
    public:
        virtual ~Output() = default;
        virtual void appendText(const QString &piece) = 0; // to the end of TermTxt
        virtual void restartQuietTimer() = 0;             // txttimer afresh from now
        virtual void stopQuietTimer() = 0;
    };

    TerminalExchange(TerminalState &state, Output &output);

    // Bytes read from the line, oldest first, all arrived now.
    void take(QByteArrayView bytes);

    // txttimer ticked: the piece gathered so far is shown.
    void txttimer_Timer();

    // The quiet interval has passed (TextTimerExpired): show what is pending.
    void showIfQuiet();

private:
    TerminalState &m_state;
    Output &m_output;
};
