#include "StationSimThread.h"

#include "StationSim.h"

StationSimThread::StationSimThread() = default;
StationSimThread::~StationSimThread() { stop(); }
bool StationSimThread::start(const SimSettings &, const QString &, int) { return false; }
void StationSimThread::stop() {}
bool StationSimThread::hangUp() { return false; }
