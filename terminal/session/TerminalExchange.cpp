#include "TerminalExchange.h"

#include "ControlBytes.h"
#include "SingleByte.h"
#include "TerminalState.h"

namespace {
using ControlBytes::CR;
}

TerminalExchange::TerminalExchange(TerminalState &state, Output &output)
    : m_state(state)
    , m_output(output)
{
}

void TerminalExchange::take(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    m_state.TextTimerExpired = false;
    // Pieces that end within one batch reach the window together: they all ended now.
    QString shown;
    for (const char byte : bytes) {
        if (byte == CR) {
            m_state.PendingText += QStringLiteral("\r\n");
            shown += m_state.PendingText;
            m_state.PendingText.clear();
        } else {
            m_state.PendingText += SingleByte::toChar(uchar(byte));
            if (m_state.PendingText.size() >= MaxPieceLength) {
                shown += m_state.PendingText;
                m_state.PendingText.clear();
            }
        }
    }
    if (bytes.back() == CR)
        m_output.stopQuietTimer();
    else
        m_output.restartQuietTimer();
    if (!shown.isEmpty())
        m_output.appendText(shown);
}

void TerminalExchange::txttimer_Timer()
{
    m_state.TextTimerExpired = true;
}

void TerminalExchange::showIfQuiet()
{
    if (!m_state.TextTimerExpired)
        return;
    m_output.stopQuietTimer();
    m_state.TextTimerExpired = false;
    if (m_state.PendingText.isEmpty())
        return;
    m_output.appendText(m_state.PendingText);
    m_state.PendingText.clear();
}
