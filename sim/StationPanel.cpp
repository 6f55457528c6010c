#include "StationPanel.h"

StationPanel::StationPanel(int station, const QString &name) : m_station(station), m_name(name.toLatin1()) {}
QByteArray StationPanel::greeting() const { return {}; }
QByteArray StationPanel::take(uint8_t) { return {}; }
QByteArray StationPanel::run(const QByteArray &) { return {}; }
QByteArray StationPanel::prompt() const { return {}; }
