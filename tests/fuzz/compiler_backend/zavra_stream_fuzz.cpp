// Reads any bytes as a packed song: the whole unpacking, and the step decoder looping over the
// song as the preview does.
#include "base/zavrastream.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto unpacked = telmira::zavra::unpackSong(bytes);
    if (unpacked.events && (unpacked.events->empty() ||
                            unpacked.events->back().event.type != telmira::zavra::type::kEnd))
        __builtin_trap(); // a song unpacks up to its end
    const auto song = telmira::zavra::readPackedSong(bytes);
    if (!song.song)
        return 0;
    telmira::zavra::StreamDecoder decoder(*song.song);
    for (int step = 0; step < 10000; ++step) {
        const auto next = decoder.next();
        if (!next)
            break;
        if (!next->isDelay && next->event.type == telmira::zavra::type::kEnd)
            decoder.restart();
    }
    return 0;
}
