#include "Receiver.h"

#include "SerialLine.h"
#include "TerminalState.h"

#include <algorithm>

Receiver::Receiver(TerminalState &state, SerialLine &line, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_line(line)
    , m_exchange(state, *this)
{
    m_txttimer.setObjectName(QStringLiteral("txttimer"));
    m_txttimer.setTimerType(Qt::PreciseTimer);
    m_txttimer.setInterval(TerminalExchange::QuietInterval);
    m_txttimer.setSingleShot(true); // stopped once it has ticked
    connect(&m_txttimer, &QTimer::timeout, this, &Receiver::txttimer_Timer);
}

void Receiver::portActivity()
{
    drain();
}

void Receiver::setSuspended(bool suspended)
{
    m_suspended = suspended;
    if (suspended)
        return;
    // What arrived during the log-on comes first; it continues the piece it belongs to.
    drain();
    m_exchange.showIfQuiet();
}

void Receiver::drain()
{
    m_drainQueued = false;
    const int32_t port = m_state.PortId;
    // Asking also moves what the device holds into the library's buffer, so the port stops
    // reporting activity for bytes that a log-on leaves waiting.
    int32_t waiting = m_line.BytesInReceiveBuffer(port);
    if (m_suspended)
        return;
    QByteArray bytes;
    int taken = 0;
    while (waiting > 0 && taken < MaxPerTurn) {
        const int count = std::min<int32_t>(waiting, ChunkSize);
        bytes.resize(count);
        if (m_keep(m_line.GetPacket(port, count, bytes.data())) != 0)
            return;
        m_exchange.take(bytes);
        taken += count;
        waiting = m_line.BytesInReceiveBuffer(port);
    }
    if (waiting > 0 && !m_drainQueued) {
        m_drainQueued = true;
        QTimer::singleShot(0, this, &Receiver::drain);
    }
}

void Receiver::txttimer_Timer()
{
    m_exchange.txttimer_Timer();
    if (!m_suspended)
        m_exchange.showIfQuiet();
}

void Receiver::appendText(const QString &piece)
{
    emit textArrived(piece);
}

void Receiver::restartQuietTimer()
{
    m_txttimer.start();
}

void Receiver::stopQuietTimer()
{
    m_txttimer.stop();
}
