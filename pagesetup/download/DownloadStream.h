#pragma once

#include "KeptResult.h"
#include "PagerConfig.h"

#include <QStringView>
#include <cstdint>
#include <optional>

class SerialLine;
class Waits;
class SendView;

// The configuration as the paced byte stream the pager interface reads after it has
// cleared its memory: header fields, the three input lists, and for EPROM "1.1 X" the
// group and wide-area blocks. Each record is followed by its pause and, in the lists, by
// a progress text in Sendinfo. No serial result is tested; only the final ACK tells
// whether the pager interface took it.
class DownloadStream
{
public:
    DownloadStream(SetupState &state, SerialLine &line, Waits &waits, SendView &view);

    // `config` with GroupCounts filled; the totals are taken before the port is opened.
    // Stops where it is, sending nothing more, when the waits are aborted.
    void send(const PagerConfig &config, int groupPagerTotal, int wideAreaTotal);

    // Sum of the dial strings' lengths without their outer blanks.
    static int WideAreaTotal(const PagerConfig &config);
    // The highest block of 8 inputs in use, 0 to 9; negative when there are no inputs.
    static int HighestInputBlock(int n);

private:
    bool header(const PagerConfig &config);
    bool inputLists(const PagerConfig &config);
    bool groupBlock(const PagerConfig &config, int groupPagerTotal);
    bool wideAreaBlock(const PagerConfig &config);

    // The field's byte, and `then` after it when given.
    void characterField(QStringView text, std::optional<char> then = std::nullopt);
    void textRecord(QStringView text);
    void mark(char first);
    void endOfList();
    // The pause after a record; false once the waits are aborted.
    bool delay();
    bool delay10();
    void progress(int number, const char *message);

    SetupState &m_state;
    KeptResult m_keep{m_state.PortResult};
    SerialLine &m_line;
    Waits &m_waits;
    SendView &m_view;
    bool m_newEprom = true;
};
