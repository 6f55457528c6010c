#include "ItemReader.h"
#include "NumberText.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ItemReader reader(buffer);
    // Alternate the two item kinds so both paths meet every input.
    for (int i = 0; !reader.failed(); ++i) {
        const auto item = (i % 3 == 2) ? reader.readNumber() : reader.readText();
        if (item)
            (void)NumberText::integerValue(*item);
    }
    return 0;
}
