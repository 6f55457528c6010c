#include "Logon.h"

#include "ControlBytes.h"
#include "LogonView.h"
#include "LogonWaits.h"
#include "NumberText.h"
#include "SerialLine.h"
#include "SingleByte.h"
#include "TerminalState.h"

Logon::Logon(TerminalState &state, SerialLine &line, LogonWaits &waits, LogonView &view)
    : m_state(state)
    , m_line(line)
    , m_waits(waits)
    , m_view(view)
{
}

bool Logon::answerMatches(const QByteArray &reply, int16_t stationNumber)
{
    const QString firstTwo = SingleByte::toText(reply.left(2));
    // Rounded to an integer, where the setup program compares the numeric value: they part
    // only on answers no station gives (".9"), and each program keeps its own rule.
    return NumberText::integerValue(firstTwo).value_or(0) == stationNumber;
}

QString Logon::connectedCaption(const TerminalState &state)
{
    return QStringLiteral("Connection established with station") + NumberText::displayForm(state.StationNumber)
        + QLatin1Char(' ') + state.stationName(state.StationNumber);
}

QString Logon::failureCaption(const TerminalState &state)
{
    return QStringLiteral("Failure communicating with station") + NumberText::displayForm(state.StationNumber)
        + QLatin1Char(' ') + state.stationName(state.StationNumber);
}

void Logon::flush(bool receive)
{
    const int32_t port = m_state.PortId;
    const int32_t r = m_keep(receive ? m_line.FlushReceiveBuffer(port) : m_line.FlushTransmitBuffer(port));
    if (r != 0) {
        const QString text = receive ? QStringLiteral("COMM-DRV Rec buffer error")
                                     : QStringLiteral("COMM-DRV Xmit buffer error");
        m_view.message(text + NumberText::displayForm(r), QString::fromLocal8Bit(m_line.LastError()));
    }
}

// One call of the station: true when its answer names it. Bytes of a late or short answer
// stay waiting until the next attempt's flush.
bool Logon::attempt()
{
    const int32_t port = m_state.PortId;
    flush(true);
    flush(false);
    m_keep(m_line.PutByte(port, uint8_t(m_state.AddressCode)));
    QByteArray reply(ReplyLength, ' ');
    const bool complete = m_waits.waitUntil([&] { return m_line.BytesInReceiveBuffer(port) >= ReplyLength; });
    if (complete)
        m_keep(m_line.GetPacket(port, ReplyLength, reply.data()));
    return answerMatches(reply, m_state.StationNumber);
}

bool Logon::openPanel()
{
    const int32_t port = m_state.PortId;
    if (!m_waits.ShortPause())
        return false;
    m_keep(m_line.FlushReceiveBuffer(port));
    for (const char c : {'E', 'N', 'D'}) {
        m_keep(m_line.PutByte(port, c));
        if (!m_waits.ShortPause())
            return false;
    }
    m_keep(m_line.PutByte(port, ControlBytes::CR));
    return true;
}

void Logon::run()
{
    m_view.hideConnectinfo();
    for (int attempts = 0; attempts < Attempts;) {
        const bool matched = attempt();
        if (m_waits.ending())
            return;
        if (matched) {
            m_view.showConnectinfo(connectedCaption(m_state), false);
            if (!openPanel())
                return;
            m_view.focusTermTxt();
            return;
        }
        m_keep(m_line.PutByte(m_state.PortId, ControlBytes::NAK));
        ++attempts;
        if (!m_waits.TimedWait(PauseAfterRefusal))
            return;
    }
    m_view.showConnectinfo(failureCaption(m_state), true);
    m_view.focusTermTxt();
}
