#pragma once

#include "DecodedDownload.h"
#include "SimSettings.h"

#include <QByteArray>
#include <QList>
#include <QRecursiveMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class PtyLine;
class StationPanel;
class StreamDecoder;

// The far end of a simulated station line. start() opens a pseudo-terminal, puts it in raw
// mode and links "comN" in the working directory to it, so the programs reach it by their
// ordinary device naming. It then plays the stations of the installation:
// - a present station answers its address code with its number as two digits and
//   SimSettings::answerTail; a NAK or another address code simply starts over;
// - a pager interface answers "A","P","G",CR with ACK (the memory-clear), decodes the
//   download stream that follows, answers the final ACK and writes a report;
// - "E","N","D",CR after the answer logs on to the station's panel, which echoes what is
//   typed, answers HELP, STATUS, INPUTS and EXIT, and prompts; NAK (Ctrl-U) or EXIT ends it.
// A station that is not present stays silent; bytes that are no address code are ignored
// until a station is called.
// Event-driven (socket notifier and precise timers): it runs on the thread that owns it,
// which may be a test's own thread, a StationSimThread, or the stationsim program. start(),
// stop() and hangUp() belong to that thread; the accessors are safe from any thread.
// The line has line time unless SimSettings::instantLine: a station hears a byte, and
// answers, only once it has crossed the wire at the speed the program set, and its own
// bytes cross the same way. The pauses are checked against the moments the sender's bytes
// were read, which a reader kept from running (a busy machine, a test thread that does not
// process events) brings closer together; the report gives the gaps on the wire as well.
class StationSim : public QObject
{
    Q_OBJECT
public:
    explicit StationSim(QObject *parent = nullptr);
    ~StationSim() override;

    // Settings take effect for the next byte; fault counts start again from them.
    SimSettings settings() const;
    void setSettings(const SimSettings &settings);

    // Opens the line and links workDir/"com<comNumber>" to it (replacing a stale link).
    // Station names come from workDir/"config.dat" when it is there. False with
    // errorString() when the pseudo-terminal or the link cannot be made.
    bool start(const QString &workDir, int comNumber = 1);
    // Closes the line and removes the link.
    void stop();
    // Drops the line as a pulled cable would (the program's reads see end of file), then
    // offers a fresh line under the same link so the next opening succeeds.
    bool hangUp();

    bool isRunning() const;
    QString slavePath() const;       // e.g. /dev/pts/7
    QString linkPath() const;        // workDir/comN
    QString errorString() const;
    QString stationName(int station) const;   // from "config.dat"; empty when unknown

    QList<TimedByte> received() const;        // every byte that crossed, oldest first
    QByteArray receivedBytes() const;         // the same without the times
    QList<TimedByte> sentBytes() const;       // every byte written
    QList<DecodedDownload> downloads() const; // finished or abandoned downloads
    QByteArray panelOutput() const;           // everything the panels wrote
    void clearRecords();

signals:
    void byteReceived(quint8 byte, qint64 ns);
    void answered(int station);                 // the four-byte answer went out
    void clearAnswered(int station, quint8 answer);
    // A download decoded to its end mark (the final ACK is then scheduled) or abandoned
    // (stream not understood, silent for streamQuietLimitMs, or the line dropped).
    void downloadFinished(const DecodedDownload &download);
    void loggedOn(int station);
    void loggedOff(int station);
    void lineDropped();

private:
    enum class Mode { Idle, Called, Downloading, Discarding, Panel, Dropping };

    void onBytes(const QByteArray &bytes, qint64 readNs, qint64 arrivedNs, qint64 byteNs);
    void takeByte(uint8_t byte, qint64 ns, WireTime wire);
    void takeCalledByte(uint8_t byte);
    void call(int station);
    void answerClear();
    void takeStreamByte(uint8_t byte, qint64 ns, WireTime wire);
    void endDownload();
    void keepDownload(DecodedDownload download);
    void abandonDownload(const QString &why);
    void takePanelByte(uint8_t byte);
    void send(const QByteArray &bytes);
    void later(int ms, std::function<void()> action);
    void resetSession();
    void restartQuietTimer(int ms);
    bool openLine();

    mutable QRecursiveMutex m_mutex;          // guards the records below and the settings
    SimSettings m_settings;
    QList<TimedByte> m_received;
    QList<TimedByte> m_sent;
    QList<DecodedDownload> m_downloads;
    QByteArray m_panelOutput;

    std::unique_ptr<PtyLine> m_line;
    std::unique_ptr<StreamDecoder> m_decoder;
    std::unique_ptr<StationPanel> m_panel;
    class QTimer *m_quietTimer = nullptr;
    QString m_workDir;
    int m_comNumber = 1;
    QString m_error;
    QStringList m_names;

    Mode m_mode = Mode::Idle;
    int m_station = 0;               // the station called last
    QByteArray m_sequence;           // bytes after the answer, matched against the request words
    int m_clearNaksLeft = 0;
    int m_answerFaultsLeft = 0;
    int m_clearSilentLeft = 0;
    int m_streamBytes = 0;
    quint64 m_generation = 0;        // scheduled answers of an earlier line or session are dropped
};
