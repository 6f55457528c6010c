#pragma once

#include "ScriptedLine.h"
#include "VirtualSetupWaits.h"

#include <QByteArray>
#include <QList>
#include <QPair>

// A station with a pager interface on the far end of a scripted line, answering Tarnwick's
// download as scripted, answer by answer.
class ScriptedStation
{
public:
    ScriptedStation(ScriptedLine &line, VirtualSetupWaits &waits, int station);

    // Answers to successive calls of the station's address code, the last one repeating;
    // an empty answer is silence.
    QList<QByteArray> callAnswers{QByteArray("05OK")};
    // Answers to successive memory-clear requests, the last repeating.
    QList<QByteArray> clearAnswers{QByteArray("\x06")};
    // The final answer: bytes and their delay from the end mark's arrival, or from its write
    // when fromStreamEnd (a station on a line faster than the library counts).
    QList<QPair<int, QByteArray>> finalAnswer{{50, QByteArray("\x06")}};
    bool fromStreamEnd = false;

    int calls = 0;
    int clearRequests = 0;
    QByteArray stream; // bytes after the ACK to the clear
    QList<SentByte> streamBytes;

private:
    void take(uint8_t byte);
    static QByteArray pick(const QList<QByteArray> &answers, int index);

    ScriptedLine &m_line;
    int m_code;
    bool m_streaming = false;
    QByteArray m_recent;
};
