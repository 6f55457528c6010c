#include "ScriptedLine.h"

#include <algorithm>
#include <iterator>

QString readable(const QByteArray &bytes)
{
    QString text;
    for (char c : bytes) {
        const auto b = uint8_t(c);
        if (b >= 0x20 && b < 0x7F && c != '<' && c != '{' && c != '[')
            text += QLatin1Char(c);
        else
            text += QStringLiteral("<%1>").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

QString ScriptedLine::Call::text() const
{
    QStringList values;
    for (int arg : args)
        values << QString::number(arg);
    return name + QLatin1Char('(') + values.join(QLatin1Char(',')) + QLatin1Char(')');
}

ScriptedLine::ScriptedLine() : m_ownClock(std::make_unique<VirtualClock>()), m_clock(m_ownClock.get())
{
}

ScriptedLine::ScriptedLine(VirtualClock &clock) : m_clock(&clock)
{
}

ScriptedLine ScriptedLine::withoutDevice()
{
    ScriptedLine line;
    line.setResult(QStringLiteral("InitializePort"), 7);
    line.lastError = "no such device";
    return line;
}

int32_t ScriptedLine::record(const QString &name, QList<int> args, int32_t otherwise)
{
    QList<int32_t> &queued = m_queued[name];
    const int32_t result = queued.isEmpty() ? m_fixed.value(name, otherwise) : queued.takeFirst();
    calls.append({name, std::move(args), m_clock->now(), result});
    return result;
}

QStringList ScriptedLine::names() const
{
    QStringList out;
    for (const Call &call : calls)
        out.append(call.name);
    return out;
}

QList<ScriptedLine::Call> ScriptedLine::callsOf(const QString &name) const
{
    QList<Call> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out), [&](const Call &c) { return c.name == name; });
    return out;
}

QStringList ScriptedLine::portCalls() const
{
    static const QStringList traffic{
        QStringLiteral("PutByte"), QStringLiteral("PutPacket"), QStringLiteral("GetPacket"),
        QStringLiteral("FlushReceiveBuffer"), QStringLiteral("FlushTransmitBuffer"),
        QStringLiteral("CdrvDelay"), QStringLiteral("CdrvTransmitTimeLeft"),
    };
    QStringList out;
    for (const Call &call : calls) {
        if (!traffic.contains(call.name))
            out.append(call.text());
    }
    return out;
}

QByteArray ScriptedLine::sentBytes() const
{
    QByteArray bytes;
    for (const SentByte &b : sent)
        bytes += char(b.byte);
    return bytes;
}

void ScriptedLine::arrive(int afterMs, const QByteArray &bytes)
{
    arriveAt(m_clock->now() + afterMs * VirtualClock::Ms, bytes);
}

void ScriptedLine::arriveAt(qint64 ns, const QByteArray &bytes)
{
    m_clock->at(ns, [this, bytes] {
        if (open)
            received += bytes;
    });
}

int32_t ScriptedLine::IsPortAvailable(int32_t port)
{
    return record(QStringLiteral("IsPortAvailable"), {port}, open ? 0 : closedAvailability);
}

int32_t ScriptedLine::InitializePort(int32_t port, int32_t index, int32_t a, int32_t b, int32_t c, int32_t d,
                                     int32_t rxSize, int32_t txSize, int32_t e)
{
    const int32_t r = record(QStringLiteral("InitializePort"), {port, index, a, b, c, d, rxSize, txSize, e});
    if (r == 0) {
        open = true;
        ++opens;
        received.clear();
    }
    return r;
}

int32_t ScriptedLine::SetPortCharacteristics(int32_t port, int32_t baudCode, int32_t parity, int32_t dataBits,
                                             int32_t stopBits, int32_t flow)
{
    return record(QStringLiteral("SetPortCharacteristics"), {port, baudCode, parity, dataBits, stopBits, flow});
}

int32_t ScriptedLine::SetBaud(int32_t port, int32_t baudCode)
{
    return record(QStringLiteral("SetBaud"), {port, baudCode}, open ? 0 : CdrvNotOpen);
}

int32_t ScriptedLine::CdrvSetTimerResolution(int32_t port, int32_t resolution)
{
    return record(QStringLiteral("CdrvSetTimerResolution"), {port, resolution});
}

int32_t ScriptedLine::CdrvDelay(int32_t port, int32_t ticks)
{
    const int32_t r = record(QStringLiteral("CdrvDelay"), {port, ticks});
    if (r == 0)
        m_clock->advanceTo(m_clock->now() + ticks * VirtualClock::Ms);
    return r;
}

int32_t ScriptedLine::RtsOn(int32_t port)
{
    return record(QStringLiteral("RtsOn"), {port});
}

int32_t ScriptedLine::FlushReceiveBuffer(int32_t port)
{
    const int32_t r = record(QStringLiteral("FlushReceiveBuffer"), {port});
    if (r == 0) {
        received.clear();
        trace += QStringLiteral("(flush in)");
    }
    return r;
}

int32_t ScriptedLine::FlushTransmitBuffer(int32_t port)
{
    const int32_t r = record(QStringLiteral("FlushTransmitBuffer"), {port});
    if (r == 0)
        trace += QStringLiteral("(flush out)");
    return r;
}

void ScriptedLine::carry(uint8_t byte)
{
    sent.append({m_clock->now(), byte});
    idleAtNs = std::max(idleAtNs, m_clock->now()) + byteNs;
    trace += readable(QByteArray(1, char(byte)));
    if (onPut)
        onPut(byte);
}

int32_t ScriptedLine::PutByte(int32_t port, int32_t byte)
{
    const int32_t r = record(QStringLiteral("PutByte"), {port, byte}, open ? 0 : CdrvNotOpen);
    if (r == 0)
        carry(uint8_t(byte));
    return r;
}

int32_t ScriptedLine::PutPacket(int32_t port, int32_t count, const char *buffer)
{
    const int32_t r = record(QStringLiteral("PutPacket"), {port, count}, open ? 0 : CdrvNotOpen);
    if (r == 0) {
        for (int32_t i = 0; i < count; ++i)
            carry(uint8_t(buffer[i]));
    }
    return r;
}

int32_t ScriptedLine::BytesInReceiveBuffer(int32_t)
{
    return int32_t(received.size());
}

int32_t ScriptedLine::GetPacket(int32_t port, int32_t count, char *buffer)
{
    const int32_t r = record(QStringLiteral("GetPacket"), {port, count}, count > received.size() ? CdrvBadArgument : 0);
    if (r != 0)
        return r;
    if (count > received.size())
        return CdrvBadArgument;
    std::copy_n(received.constData(), count, buffer);
    received.remove(0, count);
    return 0;
}

int32_t ScriptedLine::CdrvTransmitTimeLeft(int32_t port)
{
    const auto left = int32_t((std::max<qint64>(0, idleAtNs - m_clock->now()) + 999) / 1000);
    return record(QStringLiteral("CdrvTransmitTimeLeft"), {port}, left);
}

int32_t ScriptedLine::UnInitializePort(int32_t port)
{
    timeLeftAtClose = int32_t((std::max<qint64>(0, idleAtNs - m_clock->now()) + 999) / 1000);
    const int32_t r = record(QStringLiteral("UnInitializePort"), {port});
    if (r == 0)
        open = false;
    return r;
}
