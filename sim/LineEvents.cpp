#include "LineEvents.h"

#include "AddressCode.h"
#include "StationSim.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTextStream>

#include <fcntl.h>
#include <limits>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr quint8 Ack = 0x06;
constexpr quint8 Nak = 0x15;

int baudOf(speed_t speed)
{
    switch (speed) {
    case B300: return 300;
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return -1;
    }
}

int stationForCode(quint8 byte)
{
    for (int s = 1; s <= 32; ++s)
        if (addressCode(s) == byte)
            return s;
    return 0;
}

// Smallest (gap - owed pause) over the units that owed one; 0 when none did.
double smallestMarginMs(const DecodedDownload &download)
{
    double smallest = std::numeric_limits<double>::max();
    for (const StreamUnit &unit : download.units)
        if (unit.gapNs >= 0 && unit.requiredPauseMs > 0)
            smallest = std::min(smallest, double(unit.gapNs) / 1e6 - unit.requiredPauseMs);
    return smallest == std::numeric_limits<double>::max() ? 0 : smallest;
}

} // namespace

LineEvents::LineEvents(StationSim &sim, QTextStream &out)
    : QObject(&sim), m_out(out)
{
    // Read only for its settings; whoever holds the far end reads the bytes.
    m_slave = ::open(QFile::encodeName(sim.slavePath()).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    connect(&sim, &StationSim::byteReceived, this, [this](quint8 byte, qint64) { onByte(byte); });
    connect(&sim, &StationSim::clearAnswered, this, [this](int, quint8 answer) { m_quiet = answer == Ack; });
    connect(&sim, &StationSim::downloadFinished, this, &LineEvents::onDownload);
    connect(&sim, &StationSim::loggedOn, this, [this] { m_quiet = true; });
    connect(&sim, &StationSim::loggedOff, this, [this] { m_quiet = false; });
}

LineEvents::~LineEvents()
{
    if (m_slave >= 0)
        ::close(m_slave);
}

void LineEvents::onByte(quint8 byte)
{
    termios settings {};
    if (m_slave >= 0 && tcgetattr(m_slave, &settings) == 0 && baudOf(cfgetospeed(&settings)) != m_speed) {
        m_speed = baudOf(cfgetospeed(&settings));
        m_out << "speed " << m_speed << Qt::endl;
    }
    if (m_quiet)
        return;
    if (byte == Nak)
        m_out << "NAK" << Qt::endl;
    else if (const int station = stationForCode(byte))
        m_out << "call " << station << Qt::endl;
}

void LineEvents::onDownload(const DecodedDownload &download)
{
    m_quiet = false;
    m_out << "download " << (download.complete ? "complete" : "incomplete") << " bytes " << download.raw.size()
          << " sha256 " << QCryptographicHash::hash(download.raw, QCryptographicHash::Sha256).toHex()
          << " violations " << download.violations.size() << " problems " << download.problems.size()
          << " smallest-margin-ms " << QString::number(smallestMarginMs(download), 'f', 3) << Qt::endl;
}
