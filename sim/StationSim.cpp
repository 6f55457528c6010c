#include "StationSim.h"

#include "PtyLine.h"
#include "StationPanel.h"
#include "StreamDecoder.h"

StationSim::StationSim(QObject *parent) : QObject(parent) {}
StationSim::~StationSim() = default;
SimSettings StationSim::settings() const { return m_settings; }
void StationSim::setSettings(const SimSettings &settings) { m_settings = settings; }
bool StationSim::start(const QString &, int) { return false; }
void StationSim::stop() {}
bool StationSim::hangUp() { return false; }
bool StationSim::isRunning() const { return false; }
QString StationSim::slavePath() const { return {}; }
QString StationSim::linkPath() const { return {}; }
QString StationSim::errorString() const { return m_error; }
QString StationSim::stationName(int) const { return {}; }
QList<TimedByte> StationSim::received() const { return m_received; }
QList<TimedByte> StationSim::sentBytes() const { return m_sent; }
QList<DecodedDownload> StationSim::downloads() const { return m_downloads; }
QByteArray StationSim::panelOutput() const { return m_panelOutput; }
void StationSim::clearRecords() {}
