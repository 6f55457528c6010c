#include "TimedWaits.h"

#include "SerialLine.h"

TimedWaits::TimedWaits(SetupState &state, SerialLine &line)
    : m_state(state)
    , m_line(line)
    , m_engine([&state](bool expired) { state.TimerExpired = expired ? -1 : 0; }, RestInterval)
{
    m_engine.watchPort(state.PortId);
}

void TimedWaits::Delay()
{
    m_engine.pause(100);
}

void TimedWaits::Delay10()
{
    m_engine.pause(10);
}

void TimedWaits::setInterval(int ms)
{
    m_engine.setInterval(ms);
}

int TimedWaits::interval() const
{
    return m_engine.interval();
}

QByteArray TimedWaits::waitForBytes(int k)
{
    QByteArray area(k, ' ');
    m_engine.waitUntil([&] {
        if (m_keep(m_line.BytesInReceiveBuffer(m_state.PortId)) < k)
            return false;
        m_keep(m_line.GetPacket(m_state.PortId, k, area.data()));
        return true;
    });
    return area;
}

char TimedWaits::waitForByte(char wanted)
{
    char last = ' ';
    m_engine.waitUntil([&] {
        readArrived(wanted, last);
        return last == wanted;
    });
    return last;
}

char TimedWaits::waitUntilSent(char wanted)
{
    using namespace std::chrono;
    using Clock = WaitEngine::Clock;
    const auto sendingFor = [this] { return microseconds(m_line.CdrvTransmitTimeLeft(m_state.PortId)); };
    const Clock::time_point givenUp = Clock::now() + sendingFor() + milliseconds(RestInterval);
    char last = ' ';
    m_engine.waitUntil(
        [&] {
            readArrived(wanted, last);
            return last == wanted;
        },
        [&] { return std::min(Clock::now() + sendingFor(), givenUp); });
    return last;
}

// Only the bytes counted now: on a line that never falls quiet, reading on until it does
// would keep a wait's limit from ever being seen.
void TimedWaits::readArrived(char wanted, char &last)
{
    for (int32_t count = m_keep(m_line.BytesInReceiveBuffer(m_state.PortId)); count > 0 && last != wanted; --count)
        m_keep(m_line.GetPacket(m_state.PortId, 1, &last));
}

void TimedWaits::whilePausing(const std::function<void()> &work)
{
    m_engine.whilePausing(work);
}

void TimedWaits::abort()
{
    m_engine.end();
}

bool TimedWaits::aborted() const
{
    return m_engine.ended();
}

void TimedWaits::rearm()
{
    m_engine.rearm();
}
