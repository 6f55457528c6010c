#pragma once

#include "SentByte.h"
#include "SerialLine.h"
#include "VirtualClock.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Printable bytes as they are, others (and the trace's own brackets) as <0D>.
QString readable(const QByteArray &bytes);

// A serial line that records every call with its arguments and result, answers as a test
// scripts it, and carries bytes both ways on a virtual clock (its own, or one shared with
// the test's waits).
//
// Results are those a healthy line gives unless queued or set for an operation: the port
// opens, IsPortAvailable follows the opening and closing, bytes cannot be put or the speed
// set on a closed port, and a read of more bytes than are waiting is refused.
// Not recorded: BytesInReceiveBuffer, asked in every wait loop, and LastError, which is
// no port operation.
class ScriptedLine : public SerialLine
{
public:
    struct Call
    {
        QString name;
        QList<int> args;
        qint64 ns = 0;
        int32_t result = 0;

        QString text() const; // "Name(arg,arg)"
    };

    ScriptedLine();
    explicit ScriptedLine(VirtualClock &clock);
    // A port with no device behind it: opening fails as the library's does, so a send
    // over it ends at once.
    static ScriptedLine withoutDevice();
    VirtualClock &clock() { return *m_clock; }
    const VirtualClock &clock() const { return *m_clock; }

    // The next results of an operation, used up one per call.
    void queueResult(const QString &operation, int32_t result) { m_queued[operation].append(result); }
    // A result for every call of an operation from now on (after the queued ones).
    void setResult(const QString &operation, int32_t result) { m_fixed[operation] = result; }
    // What IsPortAvailable gives while the port is closed (an open port gives 0).
    int32_t closedAvailability = 1;
    QByteArray lastError = "scripted reason";

    // Line time of one byte; 0 carries bytes the moment they are put.
    qint64 byteNs = 0;
    // When the last byte put will have crossed the wire.
    qint64 idleAtNs = 0;
    int32_t timeLeftAtClose = -1; // microseconds still queued at the close

    // What happened.
    QList<Call> calls;
    QList<SentByte> sent;
    QByteArray received; // bytes waiting to be read
    bool open = false;
    int opens = 0;
    // Bytes put, pauses, flushes and status texts in the order they happened, readable.
    QString trace;

    QStringList names() const;
    QList<Call> callsOf(const QString &name) const;
    // The calls that ask after, open, set up and close the port, as text: all but the byte
    // traffic, flushes and delays, which tests read from `sent` and `trace`.
    QStringList portCalls() const;
    void clearCalls() { calls.clear(); }
    QByteArray sentBytes() const;

    // The far end sees every byte put.
    std::function<void(uint8_t)> onPut;
    // Bytes for the receive buffer: at once, or at a time of the clock (dropped if the port
    // is closed by then, as a real port drops them).
    void receive(const QByteArray &bytes) { received += bytes; }
    void arrive(int afterMs, const QByteArray &bytes);
    void arriveAt(qint64 ns, const QByteArray &bytes);

    int32_t IsPortAvailable(int32_t port) override;
    int32_t InitializePort(int32_t port, int32_t index, int32_t a, int32_t b, int32_t c, int32_t d,
                           int32_t rxSize, int32_t txSize, int32_t e) override;
    int32_t SetPortCharacteristics(int32_t port, int32_t baudCode, int32_t parity, int32_t dataBits,
                                   int32_t stopBits, int32_t flow) override;
    int32_t SetBaud(int32_t port, int32_t baudCode) override;
    int32_t CdrvSetTimerResolution(int32_t port, int32_t resolution) override;
    int32_t CdrvDelay(int32_t port, int32_t ticks) override;
    int32_t RtsOn(int32_t port) override;
    int32_t FlushReceiveBuffer(int32_t port) override;
    int32_t FlushTransmitBuffer(int32_t port) override;
    int32_t PutByte(int32_t port, int32_t byte) override;
    int32_t PutPacket(int32_t port, int32_t count, const char *buffer) override;
    int32_t BytesInReceiveBuffer(int32_t port) override;
    int32_t GetPacket(int32_t port, int32_t count, char *buffer) override;
    int32_t UnInitializePort(int32_t port) override;
    const char *LastError() override { return lastError.constData(); }
    int32_t CdrvTransmitTimeLeft(int32_t port) override;

private:
    int32_t record(const QString &name, QList<int> args, int32_t otherwise = 0);
    void carry(uint8_t byte);

    std::unique_ptr<VirtualClock> m_ownClock;
    VirtualClock *m_clock;
    QHash<QString, QList<int32_t>> m_queued;
    QHash<QString, int32_t> m_fixed;
};
