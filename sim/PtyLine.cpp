#include "PtyLine.h"

PtyLine::PtyLine(QObject *parent) : QObject(parent) {}
PtyLine::~PtyLine() { close(); }
bool PtyLine::open(const QString &) { return false; }
void PtyLine::close() {}
void PtyLine::drop() {}
void PtyLine::write(const QByteArray &) {}
void PtyLine::readReady() {}
void PtyLine::writeReady() {}
bool PtyLine::fail(const QString &) { return false; }
