#include "StreamDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    StreamDecoder decoder(0);
    qint64 ns = 0;
    for (size_t i = 0; i < size && decoder.state() == StreamDecoder::State::Running; ++i) {
        // Odd bytes after a CR stand for a short pause, so both pacing paths are met.
        ns += (i > 0 && data[i - 1] == 0x0D && (data[i] & 1)) ? 5'000'000 : 100'000'000;
        decoder.feed(data[i], ns);
    }
    (void)decoder.result().toText();
    return 0;
}
