#include "ScriptedStation.h"

#include "AddressCode.h"

#include <algorithm>

ScriptedStation::ScriptedStation(ScriptedLine &line, VirtualSetupWaits &waits, int station)
    : callAnswers{QByteArray::number(station).rightJustified(2, '0') + "OK"}, m_line(line), m_code(addressCode(station))
{
    line.onPut = [this](uint8_t byte) { take(byte); };
    waits.onSentWait = [this] {
        m_streaming = false;
        const qint64 now = m_line.clock().now();
        const qint64 from = fromStreamEnd ? now : std::max(now, m_line.idleAtNs);
        for (const auto &[ms, bytes] : finalAnswer)
            m_line.arriveAt(from + ms * VirtualClock::Ms, bytes);
    };
}

QByteArray ScriptedStation::pick(const QList<QByteArray> &answers, int index)
{
    return answers.isEmpty() ? QByteArray() : answers.at(std::min<qsizetype>(index, answers.size() - 1));
}

void ScriptedStation::take(uint8_t byte)
{
    if (m_streaming) {
        stream += char(byte);
        streamBytes.append(m_line.sent.last());
        return;
    }
    if (byte == m_code) {
        m_recent.clear();
        const QByteArray answer = pick(callAnswers, calls++);
        if (!answer.isEmpty())
            m_line.arrive(20, answer);
        return;
    }
    m_recent = (m_recent + char(byte)).right(4);
    if (m_recent == "APG\r") {
        m_recent.clear();
        const QByteArray answer = pick(clearAnswers, clearRequests++);
        if (!answer.isEmpty())
            m_line.arrive(50, answer);
        m_streaming = answer == "\x06";
    }
}
