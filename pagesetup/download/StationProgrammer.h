#pragma once

#include "ConfigFile.h"
#include "KeptResult.h"
#include "PagerConfig.h"

#include <QByteArray>
#include <functional>
#include <memory>

struct PagerConfig;
class SerialLine;
class Waits;
class SendView;

// "Send Data" from the click to the closed port: save, open the port, call the station by
// its address code, have the pager interface clear its memory, send the download stream,
// wait for the final ACK, report in Connectinfo and Sendinfo, close the port. Runs on the
// window's thread; its waits keep the window live, so the window asks running() before
// starting another send or changing the station, and calls closePort() on Exit and close.
class StationProgrammer
{
public:
    enum class Outcome {
        Refused,         // a send was already running
        SaveFailed,      // nothing was sent
        OpenFailed,      // the port could not be opened or programmed
        NoConnection,    // two failed attempts: "Failure communicating with station"
        Sent,            // "Page data sent to pager interface"
        NotAcknowledged, // "Error in sending data"
        Aborted,         // Exit or window close during the send
    };

    using Saver = std::function<ConfigFile::SaveResult(PagerConfig &, const QString &)>;

    StationProgrammer(PagerConfig &config, SetupState &state, SerialLine &line, Waits &waits,
                      SendView &view);

    // The click of CmdSend. Sends the copy of the record taken when the save completed,
    // so edits made while it runs go to the next save, not into the bytes on their way.
    Outcome sendData();
    bool running() const { return m_running; }

    // Exit and window close: ends a running send at once, then the closing rule.
    void closePort();

    // The save before sending; ConfigFile::save unless a test puts another in.
    void setSaver(Saver saver) { m_saver = std::move(saver); }

private:
    bool save();
    bool openPort();
    bool connect();
    Outcome download(int groupPagerTotal, int wideAreaTotal);
    bool callStation();
    char requestClear();
    bool finalAcknowledgement();
    void closingRule();
    void fail(const QString &text);
    bool delay();
    void putByte(char byte);
    QString lineReason() const;

    PagerConfig &m_config;
    SetupState &m_state;
    KeptResult m_keep{m_state.PortResult};
    SerialLine &m_line;
    Waits &m_waits;
    SendView &m_view;
    Saver m_saver = &ConfigFile::save;
    bool m_running = false;

    // Taken at the start of a send, so nothing changed in the window can reach it.
    std::unique_ptr<PagerConfig> m_sending;
    int m_station = 0;
};
