#pragma once

#include <QByteArray>
#include <QString>

// A station's control panel as a terminal sees it after a log-on: echoes what is typed
// (CR as CR LF, backspace rubs out), runs a line on CR and prompts again.
class StationPanel
{
public:
    static constexpr qsizetype MaxLine = 80;

    StationPanel(int station, const QString &name);

    QByteArray greeting() const;          // banner and first prompt
    QByteArray take(uint8_t byte);        // what the panel writes back
    bool finished() const { return m_finished; }

private:
    QByteArray run(const QByteArray &line);
    QByteArray prompt() const;

    int m_station;
    QByteArray m_name;
    QByteArray m_line;
    bool m_finished = false;
};
