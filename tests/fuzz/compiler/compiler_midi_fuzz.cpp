// Reads any bytes as a Standard MIDI File, at the file's own resolution and rescaled.
#include "compiler/midi.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const std::uint32_t resolution : {0u, 96u}) {
        std::string output;
        telmira::compiler::Console console(output);
        telmira::compiler::Song song;
        if (!telmira::compiler::parseMidi({data, size}, resolution, song, console).goesOn())
            continue;
        // Merged events come in time order, each delta the gap to the one before.
        std::uint32_t time = 0;
        for (const auto& event : song.events) {
            if (event.time < time || event.time - time != event.delta)
                __builtin_trap();
            time = event.time;
        }
    }
    return 0;
}
