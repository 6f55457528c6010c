#pragma once

#include <QByteArray>
#include <QList>

// Download streams as the setup program sends them: each piece is a field, record or mark
// and the pause the sender keeps after it.
struct Piece
{
    QByteArray bytes;
    int pauseMs = 0;
};
using Stream = QList<Piece>;

namespace StreamSamples {

inline QByteArray endMark(int eprom)
{
    return eprom == 0 ? QByteArray("~\r") : QByteArray("\x04\r");
}

inline QByteArray joined(const Stream &stream)
{
    QByteArray all;
    for (const Piece &p : stream)
        all += p.bytes;
    return all;
}

// Header and the three input lists; texts right-aligned in 8 as the save leaves them.
inline Stream inputs(int eprom, char block, const QList<QByteArray> &numbers, const QList<QByteArray> &texts,
                     const QByteArray &normEmer)
{
    Stream s{{"0", 100}, {"4", 100}, {QByteArray(1, block), 100}, {"\r", 100}, {"\r", 100}};
    for (const QByteArray &n : numbers)
        s.append({n + '\r', 100});
    s.append({endMark(eprom), 0});
    for (const QByteArray &t : texts)
        s.append({t.rightJustified(8, ' ') + '\r', 100});
    s.append({endMark(eprom), 0});
    for (const char c : normEmer)
        s.append({QByteArray(1, c) + '\r', 100});
    return s;
}

// The defaults of a station without a file: one input, blank numbers and text, ticked.
inline Stream defaults(int eprom)
{
    Stream s = inputs(eprom, '0', {""}, {""}, "1");
    s.append({endMark(eprom), 0});
    return s;
}

inline Stream manyInputs(int n, char block)
{
    QList<QByteArray> numbers, texts;
    QByteArray normEmer;
    for (int i = 1; i <= n; ++i) {
        numbers << QByteArray::number(100 + i);
        texts << "IN" + QByteArray::number(i);
        normEmer += (i % 2) ? '1' : '0';
    }
    Stream s = inputs(1, block, numbers, texts, normEmer);
    s.append({endMark(1), 0});
    return s;
}

inline Stream noInputs()
{
    Stream s = inputs(1, '-', {}, {}, "");
    s.append({endMark(1), 0});
    return s;
}

// One group (row 0) holding the pagers 12 and 34, no dial strings.
inline Stream oneGroup()
{
    Stream s = inputs(1, '0', {""}, {""}, "1");
    s.append({"\x05\r", 0});
    for (int r = 0; r < 32; ++r)
        s.append({r == 0 ? "2\r" : "0\r", 10});
    s.append({"\x04\r", 0});
    for (int slot = 0; slot < 96; ++slot)
        s.append({slot == 0 ? "12\r" : slot == 1 ? "34\r" : "\r", 10});
    s.append({"\x04\r", 0});
    return s;
}

// Only wide-area dial strings: an empty group block, then the 16 strings.
inline Stream dialOnly()
{
    Stream s = inputs(1, '0', {""}, {""}, "1");
    s.append({"\x05\r", 0});
    s.append({"\x04\r", 10});
    s.append({"\x05\r", 0});
    for (int k = 0; k < 16; ++k)
        s.append({k == 0 ? "5551234,,9\r" : "\r", 10});
    s.append({"\x04\r", 0});
    return s;
}

} // namespace StreamSamples
