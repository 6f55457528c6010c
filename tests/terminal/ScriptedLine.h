#pragma once

#include "Messages.h"
#include "SerialLine.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// A serial line that records every call and answers as a test scripts it. Results are 0
// unless queued for an operation; IsPortAvailable follows the opening and closing unless
// queued too. Times come from `clock` (a virtual clock in the log-on tests).
class ScriptedLine : public SerialLine
{
public:
    struct Call
    {
        QString name;
        QList<int> args;
        qint64 at = 0;
        int32_t result = 0;
    };

    // The next results of an operation, used up one per call.
    void queueResult(const QString &operation, int32_t result) { m_results[operation].append(result); }
    // A result for every call of an operation from now on.
    void setResult(const QString &operation, int32_t result) { m_fixed[operation] = result; }

    void receive(const QByteArray &bytes) { rx += bytes; }

    QStringList names() const;
    QList<Call> callsOf(const QString &name) const;
    void clearCalls() { calls.clear(); }

    QList<Call> calls;
    QByteArray rx;            // bytes waiting to be read
    QByteArray sent;          // every byte put on the line
    QList<qint64> sentAt;
    bool open = false;
    std::function<qint64()> clock = [] { return qint64(0); };
    std::function<void(uint8_t)> onPut; // a station's answer to a byte

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
    const char *LastError() override { return "scripted reason"; }
    int32_t CdrvTransmitTimeLeft(int32_t) override { return 0; } // bytes cross at once

private:
    int32_t record(const QString &name, QList<int> args, int32_t otherwise = 0);

    QHash<QString, QList<int32_t>> m_results;
    QHash<QString, int32_t> m_fixed;
};

// Message boxes as a list of texts.
class RecordingMessages : public Messages
{
public:
    void show(const QString &text, const QString &reason) override
    {
        texts.append(text);
        reasons.append(reason);
    }
    QStringList texts;
    QStringList reasons;
};
