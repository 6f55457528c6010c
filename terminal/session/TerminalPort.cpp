#include "TerminalPort.h"

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

int32_t TerminalPort::keep(int32_t result)
{
    m_state.PortResult = result;
    return result;
}

void TerminalPort::report(const char *text, int32_t result, bool displayForm)
{
    const QString number = displayForm ? NumberText::displayForm(result) : NumberText::plainForm(result);
    m_messages.show(QLatin1String(text) + number, QString::fromLocal8Bit(m_line.LastError()));
}

int16_t TerminalPort::baudCodeFor(int rate)
{
    switch (rate) {
    case 1200:
        return 4;
    case 2400:
        return 5;
    case 9600:
        return 7;
    default:
        return 0;
    }
}

void TerminalPort::OpenPort()
{
    const int32_t port = m_state.PortId;
    const int32_t opened = keep(m_line.InitializePort(port, m_state.PortNumber - 1, 0, 0, 9, 0,
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
    if (const int32_t r = keep(m_line.SetPortCharacteristics(port, m_state.BaudCode, 0, 3, 0, 4)))
        report("COMM-DRV Error seting port char. ", r, true);
    keep(m_line.RtsOn(port));
    if (const int32_t r = keep(m_line.CdrvSetTimerResolution(port, 0)))
        report("COMM-DRV Error ", r, true);
    if (const int32_t r = keep(m_line.CdrvDelay(port, 1)))
        report("COMM-DRV Error ", r, true);
    if (const int32_t r = keep(m_line.IsPortAvailable(port)))
        report("port not available ", r, false);
}

void TerminalPort::ComOpt_Click(int16_t index)
{
    m_state.PortNumber = index == 0 ? 1 : 2;
    if (!m_state.WindowShown)
        return;
    if (keep(m_line.IsPortAvailable(m_state.PortId)) == 0) {
        if (const int32_t r = keep(m_line.UnInitializePort(m_state.PortId)))
            report("COMM-DRV Uninit error", r, false);
    }
    OpenPort();
}

void TerminalPort::BaudOpt_Click(int16_t index)
{
    static constexpr int16_t rates[] = {1200, 2400, 9600};
    if (index < 0 || index > 2)
        return;
    m_state.BaudRate = rates[index];
    m_state.BaudCode = baudCodeFor(m_state.BaudRate);
    if (const int32_t r = keep(m_line.SetBaud(m_state.PortId, m_state.BaudCode)))
        report("COMM-DRV Baud Error ", r, false);
}

void TerminalPort::ClosePort()
{
    if (keep(m_line.IsPortAvailable(m_state.PortId)) == 0)
        keep(m_line.UnInitializePort(m_state.PortId));
}
