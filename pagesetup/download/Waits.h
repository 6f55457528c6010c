#pragma once

#include <QByteArray>
#include <functional>

// The timed waits of a download: fixed pauses between records and bounded waits for
// answers from the line. The procedure sees only this interface, so tests can run it on
// a virtual clock while the window runs it on the wait engine both programs share.
class Waits
{
public:
    static constexpr int RestInterval = 5000; // errtimer's interval between waits, ms

    virtual ~Waits() = default;

    // Pauses of 100 ms and 10 ms.
    virtual void Delay() = 0;
    virtual void Delay10() = 0;

    // errtimer's interval: the limit of the next limited wait. A caller that sets another
    // limit puts RestInterval back afterwards.
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;

    // The limited wait for k bytes: the k oldest bytes from the line, or k blanks when
    // the limit passes first (the bytes that did arrive stay waiting).
    virtual QByteArray waitForBytes(int k) = 0;

    // Reads the bytes one at a time as they arrive, each replacing the one before, until
    // one equals `wanted` or the limit passes. Gives the last byte read, a blank if none.
    virtual char waitForByte(char wanted) = 0;

    // Reads the bytes arriving while the line still carries what was written, each replacing
    // the one before, until the last byte written has crossed the wire or one equals
    // `wanted`. errtimer plays no part: the line's own clock does, and a line whose queue
    // never drains is given up one rest interval after it should have. Gives the last byte
    // read, a blank if none.
    virtual char waitUntilSent(char wanted) = 0;

    // Work between two records that need not hold up the next one (the progress text): it
    // runs once the next pause has started its clock, so it costs the stream no time, or
    // at the start of the next limited wait if no pause comes first. An abort drops it.
    // Here, at once.
    virtual void whilePausing(const std::function<void()> &work) { work(); }

    // Ends the wait under way and every later one at once (Exit or window close during a
    // send); rearm() undoes it when the next send starts.
    virtual void abort() = 0;
    virtual bool aborted() const = 0;
    virtual void rearm() = 0;
};
