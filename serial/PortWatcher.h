#pragma once

#include <QObject>
#include <cstdint>

// Wakes the window thread when a port has bytes waiting, so no program has to spin on
// BytesInReceiveBuffer. It follows its port id through closes and reopens, and stops
// watching a device that has gone away (a pseudo-terminal whose far end closed would
// otherwise report readable without end).
class PortWatcher : public QObject
{
    Q_OBJECT
public:
    explicit PortWatcher(int32_t port, QObject *parent = nullptr);
    ~PortWatcher() override;

signals:
    // Bytes have arrived, or the port was lost; BytesInReceiveBuffer tells which.
    void activity();

private:
    struct Private;
    Private *d;
};
