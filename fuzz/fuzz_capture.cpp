// libFuzzer target: the recording reader, on any bytes a file may hold: pcapng (either byte
// order, any blocks, options and interfaces), classic pcap, and log.txt. Every input gives a
// recording or one error naming the file; a recording's reads are never empty and a read's text
// written back into a capture comes back the same.

#include "capture/pcapng.h"
#include "capture/recording.h"

#include <cstdint>
#include <cstdlib>

using namespace kestrel::capture;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const Loaded loaded = parseRecording(bytes, QStringLiteral("fuzz"));
    if (loaded.recording.has_value() == !loaded.error.isEmpty())
        std::abort();   // a recording and an error, or neither
    if (!loaded.recording) {
        if (!loaded.error.startsWith(QLatin1String("fuzz")))
            std::abort();
        return 0;
    }
    if (loaded.recording->reads.isEmpty())
        std::abort();
    for (const Recorded &read : loaded.recording->reads)
        if (unescaped(escaped(read.text)) != read.text)
            std::abort();
    return 0;
}
