#include "SingleByte.h"

namespace SingleByte {

QByteArray toBytes(QStringView text)
{
    return text.toLatin1();
}

QString toText(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes);
}

char toByte(QChar c)
{
    return c.unicode() <= 0xFF ? char(c.unicode()) : '?';
}

QChar toChar(unsigned char byte)
{
    return QChar(char16_t(byte));
}

bool fits(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

} // namespace SingleByte
