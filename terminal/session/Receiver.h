#pragma once

#include "KeptResult.h"
#include "TerminalExchange.h"
#include "TerminalState.h"

#include <QObject>
#include <QTimer>

class SerialLine;

// The receive side of the terminal. Instead of polling the line it reads when the port
// reports activity, and txttimer ends a piece after 100 ms of quiet; between the two the
// thread sleeps.
class Receiver : public QObject, private TerminalExchange::Output
{
    Q_OBJECT
public:
    static constexpr int ChunkSize = 2048;     // the receive buffer's size
    static constexpr int MaxPerTurn = 16384;   // then the window gets its turn

    Receiver(TerminalState &state, SerialLine &line, QObject *parent = nullptr);

    // Bytes may be waiting on the port.
    void portActivity();

    // While a log-on reads the line itself, bytes stay waiting and a piece that falls quiet
    // is shown only when the log-on has ended.
    void setSuspended(bool suspended);
    bool suspended() const { return m_suspended; }

    const QTimer &txttimer() const { return m_txttimer; }

signals:
    // A piece to append to the terminal text; a CR arrived as CR LF.
    void textArrived(const QString &piece);

private:
    void drain();
    void txttimer_Timer();
    void appendText(const QString &piece) override;
    void restartQuietTimer() override;
    void stopQuietTimer() override;

    TerminalState &m_state;
    KeptResult m_keep{m_state.PortResult};
    SerialLine &m_line;
    TerminalExchange m_exchange;
    QTimer m_txttimer;
    bool m_suspended = false;
    bool m_drainQueued = false;
};
