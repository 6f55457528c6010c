#include "PortWatcher.h"

#include "PortRegistry.h"
#include "SerialPort.h"

#include <QSocketNotifier>

struct PortWatcher::Private {
    PortWatcher *q = nullptr;
    int32_t port = 0;
    int listener = 0;
    const SerialPort *watched = nullptr;
    QSocketNotifier *notifier = nullptr;

    // Called on every open, close and drain of any port: watch whatever is open now.
    void follow()
    {
        const SerialPort *open = PortRegistry::port(port);
        if (open != watched)
            drop();
        if (open && !notifier) {
            watched = open;
            notifier = new QSocketNotifier(open->fd(), QSocketNotifier::Read, q);
            QObject::connect(notifier, &QSocketNotifier::activated, q, [this] { readable(); });
        }
        // A full buffer leaves the bytes in the kernel and the descriptor readable;
        // watching it then would wake the thread without end.
        if (notifier)
            notifier->setEnabled(!open->full());
    }

    void drop()
    {
        if (notifier) {
            // It may be the notifier whose signal is running now.
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
        notifier = nullptr;
        watched = nullptr;
    }

    void readable()
    {
        PortRegistry::pullReceived(port);
        follow();
        emit q->activity();
    }
};

PortWatcher::PortWatcher(int32_t port, QObject *parent)
    : QObject(parent), d(new Private{this, port})
{
    d->listener = PortRegistry::addListener([this](int32_t id) {
        if (id == d->port)
            d->follow();
    });
    d->follow();
}

PortWatcher::~PortWatcher()
{
    PortRegistry::removeListener(d->listener);
    delete d;
}
