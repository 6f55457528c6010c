#include "StationProgrammer.h"

#include "AddressCode.h"
#include "ClosingRule.h"
#include "ControlBytes.h"
#include "DownloadStream.h"
#include "NumberText.h"
#include "PagerConfig.h"
#include "SendView.h"
#include "SerialLine.h"
#include "SingleByte.h"
#include "Waits.h"

namespace {

using ControlBytes::ACK;
using ControlBytes::CR;
using ControlBytes::NAK;

constexpr int ClearLimitMs = 12000;

// Clears the flag however the send ends.
struct RunningFlag
{
    bool &flag;
    explicit RunningFlag(bool &f) : flag(f) { flag = true; }
    ~RunningFlag() { flag = false; }
};

} // namespace

StationProgrammer::StationProgrammer(PagerConfig &config, SetupState &state, SerialLine &line,
                                     Waits &waits, SendView &view)
    : m_config(config), m_state(state), m_line(line), m_waits(waits), m_view(view)
{
}

StationProgrammer::Outcome StationProgrammer::sendData()
{
    if (m_running)
        return Outcome::Refused;
    RunningFlag running(m_running);
    m_waits.rearm();
    m_station = m_state.StationNumber;

    if (!save())
        return Outcome::SaveFailed;
    const int groupPagerTotal = m_sending->CountGroupPagers();
    const int wideAreaTotal = DownloadStream::WideAreaTotal(*m_sending);
    m_view.setConnectinfoVisible(false);

    Outcome outcome = Outcome::OpenFailed;
    if (openPort())
        outcome = connect() ? download(groupPagerTotal, wideAreaTotal) : Outcome::NoConnection;
    if (m_waits.aborted())
        outcome = Outcome::Aborted;
    closingRule();
    m_sending.reset();
    return outcome;
}

StationProgrammer::Outcome StationProgrammer::download(int groupPagerTotal, int wideAreaTotal)
{
    DownloadStream(m_state, m_line, m_waits, m_view).send(*m_sending, groupPagerTotal, wideAreaTotal);
    if (m_waits.aborted())
        return Outcome::Aborted;
    const bool acknowledged = finalAcknowledgement();
    if (m_waits.aborted())
        return Outcome::Aborted;
    if (acknowledged)
        m_view.setConnectinfo(QStringLiteral("Page data sent to pager interface"), SendView::Colour::Normal);
    else
        m_view.setConnectinfo(QStringLiteral("Error in sending data"), SendView::Colour::Failure);
    m_view.setSendinfo(QStringLiteral(" "));
    return acknowledged ? Outcome::Sent : Outcome::NotAcknowledged;
}

void StationProgrammer::closePort()
{
    m_waits.abort();
    closingRule();
}

bool StationProgrammer::save()
{
    const ConfigFile::SaveResult saved = m_saver(m_config, m_state.ConfigFileName);
    if (!saved.ok) {
        m_view.showMessage(QStringLiteral("Configuration not saved; nothing was sent"), saved.error);
        return false;
    }
    m_sending = std::make_unique<PagerConfig>(m_config);
    return true;
}

bool StationProgrammer::openPort()
{
    const int32_t port = m_state.PortId;
    if (m_keep(m_line.IsPortAvailable(port)) != 1)
        return true; // open already, or in a state the library reports otherwise: used as it is
    int32_t r = m_keep(m_line.InitializePort(port, m_state.PortIndex, 0, 0, 9, 0, 1280, 512, 0));
    if (r == 7) {
        m_view.showMessage(QStringLiteral("COMM-DRV Init port error"), lineReason());
        return false;
    }
    if (r != 0) {
        m_view.showMessage(QStringLiteral("COMM-DRV Init port error ") + NumberText::plainForm(r), lineReason());
        return false;
    }
    r = m_keep(m_line.SetPortCharacteristics(port, m_state.BaudCode, 0, 3, 0, 4));
    if (r != 0) {
        m_view.showMessage(QStringLiteral("Error programming port ") + NumberText::plainForm(r), lineReason());
        return false;
    }
    m_keep(m_line.CdrvSetTimerResolution(port, 0));
    m_keep(m_line.RtsOn(port));
    return true;
}

// Two failed attempts, of calling the station or of clearing its memory in any mix, end
// the send. A NAK to the clear request is no failure: the request simply goes again.
bool StationProgrammer::connect()
{
    int attempts = 0;
    while (attempts != 2) {
        const bool answered = callStation();
        if (m_waits.aborted())
            return false;
        if (!answered) {
            putByte(NAK);
            ++attempts;
            continue;
        }
        m_view.setConnectinfo(QStringLiteral("Connection established with pager station")
                                  + NumberText::displayForm(m_station),
                              SendView::Colour::Normal);
        m_view.setConnectinfoVisible(true);
        char answer = 0;
        do {
            answer = requestClear();
        } while (answer == NAK && !m_waits.aborted());
        if (m_waits.aborted())
            return false;
        if (answer == ACK)
            return true;
        ++attempts;
        m_keep(m_line.FlushReceiveBuffer(m_state.PortId));
    }
    fail(QStringLiteral("Failure communicating with station") + NumberText::displayForm(m_station));
    return false;
}

bool StationProgrammer::callStation()
{
    const int32_t port = m_state.PortId;
    m_keep(m_line.FlushReceiveBuffer(port));
    m_keep(m_line.FlushTransmitBuffer(port));
    m_keep(m_line.CdrvDelay(port, 2));
    putByte(char(addressCode(m_station)));
    m_keep(m_line.CdrvDelay(port, 1));
    const QByteArray answer = m_waits.waitForBytes(4);
    // The numeric value, where the terminal's log-on rounds to an integer: they part only on
    // answers no station gives (".9"), and each program keeps its own rule.
    return NumberText::numericValue(SingleByte::toText(answer.left(2))) == m_station;
}

// "A", "P", "G", CR a pause apart; gives the pager interface's one-byte answer, a blank
// when none came within 12 s.
char StationProgrammer::requestClear()
{
    if (!delay())
        return 0;
    m_keep(m_line.FlushReceiveBuffer(m_state.PortId));
    for (char byte : {'A', 'P', 'G'}) {
        putByte(byte);
        if (!delay())
            return 0;
    }
    putByte(CR);
    m_view.setSendinfo(QStringLiteral("Waiting for pager to clear its memory"));
    m_view.setSendinfoVisible(true);
    m_waits.setInterval(ClearLimitMs);
    const QByteArray answer = m_waits.waitForBytes(1);
    m_waits.setInterval(Waits::RestInterval);
    return answer.at(0);
}

// Within 5 s of the end mark having crossed the wire, whatever else arrives first; the
// timer is not restarted by the bytes before the ACK. At 1200 baud the driver may still
// hold seconds of records when the stream's last write returns, and the pager interface
// cannot answer what it has not received; an ACK that comes sooner still counts.
bool StationProgrammer::finalAcknowledgement()
{
    m_keep(m_line.FlushReceiveBuffer(m_state.PortId));
    if (m_waits.waitUntilSent(ACK) == ACK)
        return true;
    return !m_waits.aborted() && m_waits.waitForByte(ACK) == ACK;
}

void StationProgrammer::closingRule()
{
    ::closePort(m_line, m_state.PortId, m_keep);
}

void StationProgrammer::fail(const QString &text)
{
    m_view.setConnectinfo(text, SendView::Colour::Failure);
    m_view.setConnectinfoVisible(true);
}

bool StationProgrammer::delay()
{
    m_waits.Delay();
    return !m_waits.aborted();
}

void StationProgrammer::putByte(char byte)
{
    m_keep(m_line.PutByte(m_state.PortId, uint8_t(byte)));
}

QString StationProgrammer::lineReason() const
{
    const char *reason = m_line.LastError();
    return reason ? QString::fromLocal8Bit(reason) : QString();
}
