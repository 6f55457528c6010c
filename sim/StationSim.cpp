#include "StationSim.h"

#include "AddressCode.h"
#include "PtyLine.h"
#include "SiteNames.h"
#include "StationPanel.h"
#include "StreamDecoder.h"

#include <QDir>
#include <QTimer>

#include <chrono>
#include <utility>

namespace {

constexpr uint8_t Ack = 0x06;
constexpr uint8_t Nak = 0x15;
constexpr qsizetype MaxRecordedBytes = 1 << 20;
constexpr qsizetype MaxDownloads = 1000;
constexpr qsizetype MaxPanelOutput = 1 << 20;
// Longer than any pause of a sound stream, so the rest of a broken one is not taken
// for address codes.
constexpr int DiscardQuietMs = 1000;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

int stationForCode(uint8_t byte)
{
    for (int s = 1; s <= 32; ++s)
        if (addressCode(s) == byte)
            return s;
    return 0;
}

// Keeps a record from growing without bound in a long run: the oldest quarter goes.
template <typename List>
void bound(List &list, qsizetype limit)
{
    if (list.size() > limit)
        list.remove(0, list.size() - limit + limit / 4);
}

} // namespace

StationSim::StationSim(QObject *parent)
    : QObject(parent)
    , m_quietTimer(new QTimer(this))
{
    qRegisterMetaType<DecodedDownload>();
    m_quietTimer->setSingleShot(true);
    m_quietTimer->setTimerType(Qt::PreciseTimer);
    connect(m_quietTimer, &QTimer::timeout, this, [this] {
        const QMutexLocker lock(&m_mutex);
        if (m_mode == Mode::Downloading)
            abandonDownload(QStringLiteral("no byte for %1 ms; download abandoned").arg(m_settings.streamQuietLimitMs));
        else if (m_mode == Mode::Discarding)
            m_mode = Mode::Idle;
    });
}

StationSim::~StationSim()
{
    stop();
}

SimSettings StationSim::settings() const
{
    const QMutexLocker lock(&m_mutex);
    return m_settings;
}

void StationSim::setSettings(const SimSettings &settings)
{
    const QMutexLocker lock(&m_mutex);
    m_settings = settings;
    m_answerFaultsLeft = settings.faults.answer == SimFaults::Answer::Normal ? 0 : settings.faults.answerTimes;
    m_clearSilentLeft = settings.faults.clearSilentTimes;
    if (m_line) {
        m_line->setReadDelay(settings.faults.slowReaderMs);
        m_line->setLineTime(!settings.instantLine);
    }
}

bool StationSim::start(const QString &workDir, int comNumber)
{
    stop();
    const QMutexLocker lock(&m_mutex);
    m_workDir = workDir;
    m_comNumber = comNumber;
    m_names = readSiteNames(workDir);
    m_error.clear();
    if (!openLine()) {
        m_line.reset();
        return false;
    }
    return true;
}

bool StationSim::openLine()
{
    if (!m_line) {
        m_line = std::make_unique<PtyLine>();
        connect(m_line.get(), &PtyLine::bytesRead, this, &StationSim::onBytes);
        connect(m_line.get(), &PtyLine::bytesWritten, this, [this](const QByteArray &bytes, qint64 ns) {
            const QMutexLocker lock(&m_mutex);
            for (const char c : bytes)
                m_sent.append({uint8_t(c), ns, ns});
            bound(m_sent, MaxRecordedBytes);
        });
    }
    resetSession();
    m_line->setReadDelay(m_settings.faults.slowReaderMs);
    m_line->setBusyRead(m_settings.busyReader);
    m_line->setLineTime(!m_settings.instantLine);
    if (!m_line->open(linkPath())) {
        m_error = m_line->errorString();
        return false;
    }
    return true;
}

void StationSim::stop()
{
    const QMutexLocker lock(&m_mutex);
    ++m_generation;
    resetSession();
    if (m_line) {
        m_line->close();
        m_line.reset();
    }
}

bool StationSim::hangUp()
{
    const QMutexLocker lock(&m_mutex);
    if (!m_line)
        return false;
    if (m_mode == Mode::Downloading)
        abandonDownload(QStringLiteral("line dropped during the download"));
    ++m_generation;
    m_line->drop();
    emit lineDropped();
    return openLine();
}

bool StationSim::isRunning() const
{
    const QMutexLocker lock(&m_mutex);
    return m_line && m_line->isOpen();
}

QString StationSim::slavePath() const
{
    const QMutexLocker lock(&m_mutex);
    return m_line ? m_line->slavePath() : QString();
}

QString StationSim::linkPath() const
{
    const QMutexLocker lock(&m_mutex);
    return m_workDir.isEmpty() ? QString() : QDir(m_workDir).filePath(QStringLiteral("com%1").arg(m_comNumber));
}

QString StationSim::errorString() const
{
    const QMutexLocker lock(&m_mutex);
    return m_error;
}

QString StationSim::stationName(int station) const
{
    const QMutexLocker lock(&m_mutex);
    return m_names.value(station);
}

QList<TimedByte> StationSim::received() const
{
    const QMutexLocker lock(&m_mutex);
    return m_received;
}

QByteArray StationSim::receivedBytes() const
{
    const QMutexLocker lock(&m_mutex);
    QByteArray bytes;
    for (const TimedByte &b : m_received)
        bytes.append(char(b.byte));
    return bytes;
}

QList<TimedByte> StationSim::sentBytes() const
{
    const QMutexLocker lock(&m_mutex);
    return m_sent;
}

QList<DecodedDownload> StationSim::downloads() const
{
    const QMutexLocker lock(&m_mutex);
    return m_downloads;
}

QByteArray StationSim::panelOutput() const
{
    const QMutexLocker lock(&m_mutex);
    return m_panelOutput;
}

void StationSim::clearRecords()
{
    const QMutexLocker lock(&m_mutex);
    m_received.clear();
    m_sent.clear();
    m_downloads.clear();
    m_panelOutput.clear();
}

void StationSim::resetSession()
{
    m_mode = Mode::Idle;
    m_station = 0;
    m_sequence.clear();
    m_panel.reset();
    m_decoder.reset();
    m_quietTimer->stop();
}

void StationSim::later(int ms, std::function<void()> action)
{
    const quint64 generation = m_generation;
    QTimer::singleShot(std::max(ms, 0), Qt::PreciseTimer, this, [this, generation, action = std::move(action)] {
        const QMutexLocker lock(&m_mutex);
        if (generation == m_generation && m_line && m_line->isOpen())
            action();
    });
}

void StationSim::send(const QByteArray &bytes)
{
    if (m_line)
        m_line->write(bytes);
}

void StationSim::restartQuietTimer(int ms)
{
    m_quietTimer->start(ms);
}

void StationSim::onBytes(const QByteArray &bytes, qint64 readNs, qint64 arrivedNs, qint64 byteNs)
{
    const QMutexLocker lock(&m_mutex);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = uint8_t(bytes[i]);
        const qint64 arrived = arrivedNs + i * byteNs;
        m_received.append({byte, readNs, arrived});
        emit byteReceived(byte, readNs);
        takeByte(byte, readNs, {arrived - byteNs, arrived});
    }
    bound(m_received, MaxRecordedBytes);
}

void StationSim::takeByte(uint8_t byte, qint64 ns, WireTime wire)
{
    switch (m_mode) {
    case Mode::Idle:
        if (const int station = stationForCode(byte))
            call(station);
        break;
    case Mode::Called:
        takeCalledByte(byte);
        break;
    case Mode::Downloading:
        takeStreamByte(byte, ns, wire);
        break;
    case Mode::Discarding:
        restartQuietTimer(DiscardQuietMs);
        break;
    case Mode::Panel:
        takePanelByte(byte);
        break;
    case Mode::Dropping:
        break;
    }
}

void StationSim::call(int station)
{
    m_sequence.clear();
    if (!m_settings.isPresent(station)) {
        m_mode = Mode::Idle;
        m_station = 0;
        return;
    }
    m_mode = Mode::Called;
    m_station = station;
    m_clearNaksLeft = m_settings.faults.clearNaks;

    const QByteArray tail = (m_settings.answerTail + "  ").left(2);
    QByteArray answer = QByteArray::number(station).rightJustified(2, '0') + tail;
    if (m_answerFaultsLeft > 0) {
        if (m_answerFaultsLeft != SimFaults::Always)
            --m_answerFaultsLeft;
        switch (m_settings.faults.answer) {
        case SimFaults::Answer::Silent: return;
        case SimFaults::Answer::Wrong: answer = m_settings.faults.wrongAnswer; break;
        case SimFaults::Answer::Short: answer.truncate(3); break;
        case SimFaults::Answer::Normal: break;
        }
    }
    answer.prepend(m_settings.faults.garbageOnCall);
    later(m_settings.answerDelayMs, [this, station, answer] {
        send(answer);
        emit answered(station);
    });
}

void StationSim::takeCalledByte(uint8_t byte)
{
    if (const int station = stationForCode(byte)) {
        call(station);
        return;
    }
    if (byte == Nak) {
        m_mode = Mode::Idle;
        return;
    }
    m_sequence = (m_sequence + char(byte)).right(4);
    if (m_sequence == "APG\r") {
        m_sequence.clear();
        if (!m_settings.isPagerInterface(m_station))
            return;
        if (m_clearSilentLeft > 0) {
            if (m_clearSilentLeft != SimFaults::Always)
                --m_clearSilentLeft;
            return;
        }
        later(m_settings.clearDelayMs, [this] { answerClear(); });
    } else if (m_sequence == "END\r") {
        m_sequence.clear();
        m_panel = std::make_unique<StationPanel>(m_station, m_names.value(m_station));
        m_mode = Mode::Panel;
        const QByteArray greeting = m_panel->greeting();
        m_panelOutput += greeting;
        send(greeting);
        emit loggedOn(m_station);
    }
}

void StationSim::answerClear()
{
    if (m_mode != Mode::Called)
        return;
    if (m_clearNaksLeft > 0) {
        --m_clearNaksLeft;
        send(QByteArray(1, char(Nak)));
        emit clearAnswered(m_station, Nak);
        return;
    }
    send(QByteArray(1, char(Ack)));
    m_mode = Mode::Downloading;
    m_streamBytes = 0;
    m_decoder = std::make_unique<StreamDecoder>(nowNs(), m_settings.pacingToleranceMs);
    restartQuietTimer(m_settings.streamQuietLimitMs);
    emit clearAnswered(m_station, Ack);
}

void StationSim::takeStreamByte(uint8_t byte, qint64 ns, WireTime wire)
{
    const StreamDecoder::State state = m_decoder->feed(byte, ns, wire);
    ++m_streamBytes;
    const int hangUpAfter = m_settings.faults.hangUpAfterStreamBytes;
    if (hangUpAfter >= 0 && m_streamBytes >= hangUpAfter) {
        abandonDownload(QStringLiteral("line dropped after %1 bytes (fault)").arg(m_streamBytes));
        m_mode = Mode::Dropping;
        // Not from inside the read: the notifier that delivered this byte goes with the line.
        QTimer::singleShot(0, this, [this] { hangUp(); });
        return;
    }
    restartQuietTimer(m_settings.streamQuietLimitMs);
    if (state == StreamDecoder::State::Complete)
        endDownload();
    else if (state == StreamDecoder::State::Failed)
        abandonDownload(QStringLiteral("stream not understood; no final ACK"));
}

void StationSim::keepDownload(DecodedDownload download)
{
    download.station = m_station;
    if (m_settings.writeReports && !m_workDir.isEmpty())
        download.writeReport(m_workDir);
    m_downloads.append(download);
    bound(m_downloads, MaxDownloads);
    emit downloadFinished(download);
}

void StationSim::endDownload()
{
    m_quietTimer->stop();
    m_mode = Mode::Idle;
    if (!m_settings.faults.finalAckMissing) {
        const QByteArray reply = m_settings.faults.garbageBeforeFinalAck + char(Ack);
        later(m_settings.finalAckDelayMs, [this, reply] { send(reply); });
    }
    keepDownload(m_decoder->result());
    m_decoder.reset();
}

void StationSim::abandonDownload(const QString &why)
{
    DecodedDownload download = m_decoder->result();
    download.problems << why;
    m_decoder.reset();
    m_mode = Mode::Discarding;
    restartQuietTimer(DiscardQuietMs);
    keepDownload(download);
}

void StationSim::takePanelByte(uint8_t byte)
{
    const int station = m_station;
    QByteArray out;
    if (byte != Nak) {
        out = m_panel->take(byte);
        m_panelOutput += out;
        bound(m_panelOutput, MaxPanelOutput);
        send(out);
    }
    // NAK (Ctrl-U) also ends the session: it is what a log-on to another station sends
    // after its first attempt met this panel's echo.
    if (byte == Nak || m_panel->finished()) {
        m_panel.reset();
        m_mode = Mode::Idle;
        emit loggedOff(station);
    }
}
