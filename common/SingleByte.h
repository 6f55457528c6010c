#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Files and the line carry single bytes; the programs hold text. Latin-1 maps every
// byte 0..255 to one character and back, so nothing read is changed when written again.
namespace SingleByte {

// Characters without a single-byte form become '?'.
QByteArray toBytes(QStringView text);
QString toText(QByteArrayView bytes);

char toByte(QChar c);
QChar toChar(unsigned char byte);

// True when every character has a single-byte form.
bool fits(QStringView text);

} // namespace SingleByte
