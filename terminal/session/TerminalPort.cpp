#include "TerminalPort.h"

#include "BaudTable.h"
#include "ClosingRule.h"
#include "Messages.h"
#include "NumberText.h"
#include "SerialLine.h"
#include "TerminalState.h"

TerminalPort::TerminalPort(TerminalState &state, SerialLine &line, Messages &messages)
    : m_state(state)
    , m_line(line)
    , m_messages(messages)
{
}

void TerminalPort::report(const char *text, int32_t result, bool displayForm)
{
    const QString number = displayForm ? NumberText::displayForm(result) : NumberText::plainForm(result);
    m_messages.show(QLatin1String(text) + number, QString::fromLocal8Bit(m_line.LastError()));
}

void TerminalPort::OpenPort()
{
    const int32_t port = m_state.PortId;
    const int32_t opened = m_keep(m_line.InitializePort(port, m_state.PortNumber - 1, 0, 0, 9, 0,
                                                      ReceiveBufferSize, TransmitBufferSize, 0));
    if (opened == CdrvNoDevice) {
        m_messages.show(QStringLiteral("COMM-DRV Invalid port error"),
                        QString::fromLocal8Bit(m_line.LastError()));
        return;
    }
    if (opened != 0) {
        report("COMM-DRV Error ", opened, true);
        return;
    }
    if (const int32_t r = m_keep(m_line.SetPortCharacteristics(port, m_state.BaudCode, 0, 3, 0, 4)))
        report("COMM-DRV Error seting port char. ", r, true);
    m_keep(m_line.RtsOn(port));
    if (const int32_t r = m_keep(m_line.CdrvSetTimerResolution(port, 0)))
        report("COMM-DRV Error ", r, true);
    if (const int32_t r = m_keep(m_line.CdrvDelay(port, 1)))
        report("COMM-DRV Error ", r, true);
    if (const int32_t r = m_keep(m_line.IsPortAvailable(port)))
        report("port not available ", r, false);
}

void TerminalPort::ComOpt_Click(int16_t index)
{
    m_state.PortNumber = index == 0 ? 1 : 2;
    if (!m_state.WindowShown)
        return;
    if (const auto r = closePort(m_line, m_state.PortId, m_keep); r && *r != 0)
        report("COMM-DRV Uninit error", *r, false);
    OpenPort();
}

void TerminalPort::BaudOpt_Click(int16_t index)
{
    if (index < 0 || index >= int16_t(BaudTable::Speeds.size()))
        return;
    m_state.BaudRate = BaudTable::Speeds[index].rate;
    m_state.BaudCode = BaudTable::Speeds[index].code;
    if (const int32_t r = m_keep(m_line.SetBaud(m_state.PortId, m_state.BaudCode)))
        report("COMM-DRV Baud Error ", r, false);
}

void TerminalPort::ClosePort()
{
    closePort(m_line, m_state.PortId, m_keep);
}
