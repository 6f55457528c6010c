#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <deque>

class QSocketNotifier;
class QTimer;

// The master side of a pseudo-terminal in raw mode, linked into a working directory as
// "comN". It keeps the slave open itself: with no slave open the master reports a hang-up
// without end, and the programs open and close their side at every download.
class PtyLine : public QObject
{
    Q_OBJECT
public:
    explicit PtyLine(QObject *parent = nullptr);
    ~PtyLine() override;

    bool open(const QString &linkPath);
    void close();                      // also removes the link if it is still ours
    void drop();                       // closes the line but leaves the link
    bool isOpen() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    QString errorString() const { return m_error; }

    // Queues bytes; they go out as the line takes them. Bytes beyond MaxQueued are dropped.
    void write(const QByteArray &bytes);
    static constexpr qsizetype MaxQueued = 64 * 1024;

    // Lets arriving bytes sit this long before reading them, as a loaded far end does;
    // 0 reads them at once. Safe from any thread.
    void setReadDelay(int ms) { m_readDelayMs = ms; }

    // Reads without ever sleeping, as a UART's receiver takes every byte at once: a writer's
    // write then never has to wake a sleeping reader, which on some virtual machines stalls
    // the writer for milliseconds. For benchmarks; costs one processor while the line is
    // open. Takes effect when the line opens. Safe from any thread.
    void setBusyRead(bool on) { m_busyRead = on; }

    // A line with line time carries each byte 10 bit times after the one before at the
    // speed the program set on its side, both ways, as a wire does; without, bytes cross
    // the moment they are read or written. Takes effect for the next bytes.
    void setLineTime(bool on) { m_lineTime = on; }

signals:
    // Bytes that have crossed the line, in order: read from the pseudo-terminal at readNs,
    // the first of them fully arrived at arrivedNs, each further one byteNs later (0 on a
    // line without line time, where they arrive as they are read).
    void bytesRead(const QByteArray &bytes, qint64 readNs, qint64 arrivedNs, qint64 byteNs);
    void bytesWritten(const QByteArray &bytes, qint64 ns);

private:
    void readReady();
    bool readNow();
    void writeReady();
    bool fail(const QString &what);
    qint64 byteNs() const;
    void deliverDue();
    void scheduleDelivery();

    // Bytes read but still crossing towards the station, and bytes of the station's still
    // crossing towards the program.
    struct Inbound { QByteArray bytes; qint64 readNs; qint64 arrivedNs; qint64 byteNs; };
    struct Outbound { char byte; qint64 arrivedNs; };

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
    QString m_error;
    QByteArray m_queue;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer *m_lateRead = nullptr;
    QTimer *m_spin = nullptr;
    QTimer *m_wire = nullptr;
    std::deque<Inbound> m_inbound;
    std::deque<Outbound> m_outbound;
    qint64 m_inboundIdleNs = 0;
    qint64 m_outboundIdleNs = 0;
    std::atomic<bool> m_lineTime = true;
    std::atomic<int> m_readDelayMs = 0;
    std::atomic<bool> m_busyRead = false;
};
