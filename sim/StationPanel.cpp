#include "StationPanel.h"

namespace {

const QByteArray Crlf("\r\n");

} // namespace

StationPanel::StationPanel(int station, const QString &name)
    : m_station(station)
    , m_name(name.toLatin1())
{
}

QByteArray StationPanel::prompt() const
{
    return QByteArray("STATION ") + QByteArray::number(m_station).rightJustified(2, '0') + "> ";
}

QByteArray StationPanel::greeting() const
{
    QByteArray text = Crlf + "VELGRIN CONTROL PANEL - STATION " + QByteArray::number(m_station);
    if (!m_name.isEmpty())
        text += " " + m_name;
    return text + Crlf + "TYPE HELP FOR COMMANDS" + Crlf + prompt();
}

QByteArray StationPanel::take(uint8_t byte)
{
    if (m_finished)
        return {};
    if (byte == '\r') {
        const QByteArray line = m_line;
        m_line.clear();
        QByteArray out = Crlf + run(line.trimmed().toUpper());
        return m_finished ? out : out + prompt();
    }
    if (byte == 0x08 || byte == 0x7F) {
        if (m_line.isEmpty())
            return {};
        m_line.chop(1);
        return "\b \b";
    }
    // Other control bytes (LF after CR among them) and an overlong line are ignored.
    if (byte < 0x20 || m_line.size() >= MaxLine)
        return {};
    m_line.append(char(byte));
    return QByteArray(1, char(byte));
}

QByteArray StationPanel::run(const QByteArray &line)
{
    if (line.isEmpty())
        return {};
    if (line == "HELP")
        return "COMMANDS: HELP STATUS INPUTS EXIT" + Crlf;
    if (line == "STATUS") {
        QByteArray text = "STATION " + QByteArray::number(m_station);
        if (!m_name.isEmpty())
            text += " " + m_name;
        return text + ": NORMAL, NO ALARMS" + Crlf;
    }
    if (line == "INPUTS") {
        QByteArray text;
        for (int i = 1; i <= 4; ++i)
            text += "INPUT " + QByteArray::number(i) + ": NORMAL" + Crlf;
        return text;
    }
    if (line == "EXIT") {
        m_finished = true;
        return "LOGGED OFF" + Crlf;
    }
    return "UNKNOWN COMMAND: " + line + Crlf;
}
