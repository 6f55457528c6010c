#pragma once

#include <functional>

// The waits of a log-on, all on errtimer. The procedure sees only this interface, so tests
// can run it on a virtual clock while the window runs it on the wait engine both programs
// share.
class LogonWaits
{
public:
    static constexpr int RestInterval = 8000; // errtimer's interval between waits, ms

    virtual ~LogonWaits() = default;

    // TimedWait: a pause of `ms` while the window goes on working. False when the program
    // is ending and the log-on must stop at once.
    virtual bool TimedWait(int ms) = 0;
    bool ShortPause() { return TimedWait(200); }

    // Waits up to errtimer's interval until `ready` holds; it is asked at the start and
    // whenever bytes arrive. Gives whether it held (false also when the program is ending).
    virtual bool waitUntil(const std::function<bool()> &ready) = 0;

    // The program is ending: every wait returns at once.
    virtual bool ending() const = 0;
};
