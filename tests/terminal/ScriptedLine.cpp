#include "ScriptedLine.h"

#include <algorithm>

int32_t ScriptedLine::record(const QString &name, QList<int> args, int32_t otherwise)
{
    QList<int32_t> &queued = m_results[name];
    const int32_t result = queued.isEmpty() ? m_fixed.value(name, otherwise) : queued.takeFirst();
    calls.append({name, std::move(args), clock(), result});
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

int32_t ScriptedLine::IsPortAvailable(int32_t port)
{
    return record(QStringLiteral("IsPortAvailable"), {port}, open ? 0 : 1);
}

int32_t ScriptedLine::InitializePort(int32_t port, int32_t index, int32_t a, int32_t b, int32_t c, int32_t d,
                                     int32_t rxSize, int32_t txSize, int32_t e)
{
    const int32_t r = record(QStringLiteral("InitializePort"), {port, index, a, b, c, d, rxSize, txSize, e});
    open = r == 0;
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
    return record(QStringLiteral("CdrvDelay"), {port, ticks});
}

int32_t ScriptedLine::RtsOn(int32_t port)
{
    return record(QStringLiteral("RtsOn"), {port});
}

int32_t ScriptedLine::FlushReceiveBuffer(int32_t port)
{
    const int32_t r = record(QStringLiteral("FlushReceiveBuffer"), {port});
    if (r == 0)
        rx.clear();
    return r;
}

int32_t ScriptedLine::FlushTransmitBuffer(int32_t port)
{
    return record(QStringLiteral("FlushTransmitBuffer"), {port});
}

int32_t ScriptedLine::PutByte(int32_t port, int32_t byte)
{
    const int32_t r = record(QStringLiteral("PutByte"), {port, byte});
    if (r == 0) {
        sent.append(char(byte));
        sentAt.append(clock());
        if (onPut)
            onPut(uint8_t(byte));
    }
    return r;
}

int32_t ScriptedLine::PutPacket(int32_t port, int32_t count, const char *buffer)
{
    const int32_t r = record(QStringLiteral("PutPacket"), {port, count});
    if (r == 0)
        sent.append(buffer, count);
    return r;
}

int32_t ScriptedLine::BytesInReceiveBuffer(int32_t port)
{
    Q_UNUSED(port);
    return int32_t(rx.size()); // asked constantly; not recorded
}

int32_t ScriptedLine::GetPacket(int32_t port, int32_t count, char *buffer)
{
    const int32_t r = record(QStringLiteral("GetPacket"), {port, count});
    if (r != 0)
        return r;
    if (count > rx.size())
        return CdrvBadArgument;
    std::copy_n(rx.constData(), count, buffer);
    rx.remove(0, count);
    return 0;
}

int32_t ScriptedLine::UnInitializePort(int32_t port)
{
    const int32_t r = record(QStringLiteral("UnInitializePort"), {port});
    if (r == 0)
        open = false;
    return r;
}
