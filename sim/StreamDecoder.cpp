#include "StreamDecoder.h"

StreamDecoder::StreamDecoder(qint64, double toleranceMs) : m_toleranceMs(toleranceMs) {}
StreamDecoder::State StreamDecoder::feed(uint8_t, qint64) { return m_state; }
void StreamDecoder::reset(qint64) {}
