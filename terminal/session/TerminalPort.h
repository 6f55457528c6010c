#pragma once

#include "KeptResult.h"
#include "TerminalState.h"

#include <cstdint>

class SerialLine;
class Messages;

// Opening, re-opening, speed changes and closing of the terminal's port, each with the
// messages the user sees when the serial library refuses.
class TerminalPort
{
public:
    static constexpr int32_t ReceiveBufferSize = 2048;
    static constexpr int32_t TransmitBufferSize = 512;

    TerminalPort(TerminalState &state, SerialLine &line, Messages &messages);

    // Opens PortNumber with BaudCode and sets it up.
    void OpenPort();

    // The port option chosen: index 0 is "Com 1", 1 is "Com 2". Once the window is shown the
    // open port is closed and the chosen one opened, also when it is the same port again (so
    // a device that went away can be opened anew).
    void ComOpt_Click(int16_t index);

    // The baud option chosen: 0, 1, 2 are 1200, 2400, 9600. Changes the speed of the open
    // port without reopening it.
    void BaudOpt_Click(int16_t index);

    // The closing rule: UnInitializePort only when IsPortAvailable reports the port open.
    void ClosePort();

private:
    void report(const char *text, int32_t result, bool displayForm);

    TerminalState &m_state;
    KeptResult m_keep{m_state.PortResult};
    SerialLine &m_line;
    Messages &m_messages;
};
