#pragma once

// A line, a clock and a station for running the download on virtual time: the waits
// jump the clock to the next scheduled event, so a 12 s limit costs nothing.

#include "PagerConfig.h"
#include "SendView.h"
#include "SerialLine.h"
#include "Waits.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>
#include <map>

class VirtualClock
{
public:
    static constexpr qint64 Ms = 1000000;

    qint64 now() const { return m_now; }
    void at(qint64 ns, std::function<void()> event);
    void after(int ms, std::function<void()> event) { at(m_now + ms * Ms, std::move(event)); }
    // -1 when nothing is scheduled.
    qint64 next() const;
    // Runs the events due up to `ns` in order, then stands at `ns`.
    void advanceTo(qint64 ns);

private:
    qint64 m_now = 0;
    std::multimap<qint64, std::function<void()>> m_events;
};

struct SentByte
{
    qint64 ns = 0;
    uint8_t byte = 0;
};

class ScriptedLine : public SerialLine
{
public:
    explicit ScriptedLine(VirtualClock &clock) : m_clock(clock) {}
    VirtualClock &clock() { return m_clock; }

    // What the operations answer.
    int32_t initResult = 0;
    int32_t characteristicsResult = 0;
    int32_t closedAvailability = 1;
    QByteArray lastError;

    // Line time of one byte; 0 carries bytes the moment they are put.
    qint64 byteNs = 0;
    qint64 idleAtNs = 0;
    int32_t timeLeftAtClose = -1;

    // What happened.
    QList<SentByte> sent;
    QStringList calls; // opening and closing operations, in order
    bool open = false;
    int opens = 0;
    QByteArray received;
    // Bytes put, pauses, flushes and status texts in the order they happened, readable: see trace().
    QString trace;

    // The far end sees every byte put.
    std::function<void(uint8_t)> onPut;
    void arrive(int afterMs, const QByteArray &bytes);
    void arriveAt(qint64 ns, const QByteArray &bytes);
    QByteArray sentBytes() const;

    int32_t IsPortAvailable(int32_t port) override;
    int32_t InitializePort(int32_t port, int32_t index, int32_t a, int32_t b, int32_t c, int32_t d,
                           int32_t rxSize, int32_t txSize, int32_t e) override;
    int32_t SetPortCharacteristics(int32_t port, int32_t baudCode, int32_t parity, int32_t dataBits,
                                   int32_t stopBits, int32_t flow) override;
    int32_t SetBaud(int32_t, int32_t) override { return 0; }
    int32_t CdrvSetTimerResolution(int32_t, int32_t) override;
    int32_t CdrvDelay(int32_t port, int32_t ticks) override;
    int32_t RtsOn(int32_t) override;
    int32_t FlushReceiveBuffer(int32_t) override;
    int32_t FlushTransmitBuffer(int32_t) override;
    int32_t PutByte(int32_t port, int32_t byte) override;
    int32_t PutPacket(int32_t port, int32_t count, const char *buffer) override;
    int32_t BytesInReceiveBuffer(int32_t) override { return int32_t(received.size()); }
    int32_t GetPacket(int32_t port, int32_t count, char *buffer) override;
    int32_t UnInitializePort(int32_t port) override;
    const char *LastError() override { return lastError.constData(); }
    int32_t CdrvTransmitTimeLeft(int32_t) override;

private:
    VirtualClock &m_clock;
};

// The waits' rules on virtual time; every pause is logged with the clock at its start.
class VirtualWaits : public Waits
{
public:
    VirtualWaits(VirtualClock &clock, ScriptedLine &line, SetupState &state);

    QList<int> pauses; // ms each
    // Called as the wait for the line to carry the stream begins (the station's final answer
    // is timed from it).
    std::function<void()> onSentWait;

    void Delay() override { pause(100); }
    void Delay10() override { pause(10); }
    void setInterval(int ms) override { m_interval = ms; }
    int interval() const override { return m_interval; }
    QByteArray waitForBytes(int k) override;
    char waitForByte(char wanted) override;
    char waitUntilSent(char wanted) override;
    void abort() override { m_aborted = true; }
    bool aborted() const override { return m_aborted; }
    void rearm() override { m_aborted = false; }

private:
    void pause(int ms);
    // Runs the clock to the next event or the deadline; false at the deadline or abort.
    bool step(qint64 deadline);

    VirtualClock &m_clock;
    ScriptedLine &m_line;
    SetupState &m_state;
    int m_interval = RestInterval;
    bool m_aborted = false;
};

class RecordingView : public SendView
{
public:
    QString *trace = nullptr; // Sendinfo texts go there too, as [text]
    QStringList log;
    QString connectText, sendText;
    Colour connectColour = Colour::Normal;
    bool connectVisible = false, sendVisible = false;
    QStringList messages; // text, then "|" and the reason when there is one

    void setConnectinfo(const QString &text, Colour colour) override;
    void setConnectinfoVisible(bool visible) override;
    void setSendinfo(const QString &text) override;
    void setSendinfoVisible(bool visible) override;
    void showMessage(const QString &text, const QString &reason) override;
};

// Printable bytes as they are, others as <0D>.
QString readable(const QByteArray &bytes);

// A station with a pager interface, scripted answer by answer.
class ScriptedStation
{
public:
    ScriptedStation(ScriptedLine &line, VirtualWaits &waits, int station);

    // Answers to successive calls of the station's address code, the last one repeating;
    // an empty answer is silence.
    QList<QByteArray> callAnswers{QByteArray("05OK")};
    // Answers to successive memory-clear requests, the last repeating.
    QList<QByteArray> clearAnswers{QByteArray("\x06")};
    // The final answer: bytes and their delay from the end mark's arrival, or from its write
    // when fromStreamEnd (a station on a line faster than the library counts).
    QList<QPair<int, QByteArray>> finalAnswer{{50, QByteArray("\x06")}};
    bool fromStreamEnd = false;

    int calls = 0;
    int clearRequests = 0;
    QByteArray stream; // bytes after the ACK to the clear
    QList<SentByte> streamBytes;

private:
    void take(uint8_t byte);
    static QByteArray pick(const QList<QByteArray> &answers, int index);

    ScriptedLine &m_line;
    int m_code;
    bool m_streaming = false;
    QByteArray m_recent;
};
