#pragma once

#include <QtGlobal>

// A byte put on a scripted line, and the virtual time it was put.
struct SentByte
{
    qint64 ns = 0;
    uint8_t byte = 0;
};
