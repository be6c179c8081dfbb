// Feeds arbitrary bytes through the line framing (cut into chunks at positions the input chooses)
// and every resulting line through the event decoder. Checks that framing keeps its bounds and that
// a decoded event came from a line that really carries the four keys.

#include "watcher/EventLineReader.h"
#include "watcher/WatchEvent.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the chunk length; a small line bound makes the oversized-line paths reachable.
    const qsizetype chunk = (data[0] % 64) + 1;
    const QByteArrayView input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    EventLineReader reader(256);
    QList<QByteArray> lines;
    for (qsizetype at = 0; at < input.size(); at += chunk)
        lines += reader.feed(input.sliced(at, qMin(chunk, input.size() - at)));
    lines += reader.finish();

    qsizetype total = 0;
    for (const QByteArray& line : lines) {
        if (line.isEmpty() || line.size() > 256 || line.contains('\n'))
            std::abort();
        total += line.size();
        if (const auto event = decodeWatchEvent(line)) {
            if (!line.contains("\"path\"") || !line.contains("\"types\"") || !line.contains("\"rule\"") ||
                !line.contains("\"severity\""))
                std::abort();
        }
    }
    if (total > input.size() || reader.pendingBytes() != 0)
        std::abort();
    // The decoder on its own, on the unframed input.
    (void)decodeWatchEvent(input);
    return 0;
}
