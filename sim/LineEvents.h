#pragma once

#include <QObject>
#include <QString>

class QTextStream;
class StationSim;
struct DecodedDownload;

// Reports what the far end of a line sees, one text line per event, for a test that runs
// the programs outside this process (a virtual machine's serial line) and judges them by
// this output: the line speed the bytes come at whenever it changes, each station call and
// NAK outside a download or panel session, and each finished download with a digest of its
// bytes and its tightest pause.
class LineEvents : public QObject
{
    Q_OBJECT
public:
    // After sim.start(): the speed is read from the line's slave side.
    LineEvents(StationSim &sim, QTextStream &out);
    ~LineEvents() override;

private:
    void onByte(quint8 byte);
    void onDownload(const DecodedDownload &download);

    QTextStream &m_out;
    int m_slave = -1;
    int m_speed = 0;
    bool m_quiet = false; // inside a download or a panel session: bytes are data
};
