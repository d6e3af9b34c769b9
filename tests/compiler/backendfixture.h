#pragma once

#include "compiler/state.h"

#include <cstdint>
#include <string>
#include <vector>

namespace telmira::compiler::test {

// A compiled collection built by hand for the writers and the ROM patcher: three instruments
// over three waves and a MIDI song plus a PT3 song.
//  - region 0 "Piano" (program 0, keys 0..127) plays wave 0 "pia": 8 samples 1..8, a loop of 4
//    samples (loop value -1024, short terminator), played 3 times;
//  - region 1 "Kick" (drum, keys 35..36) plays wave 1 "kick": samples 10, -10, 5, 0, 0 without
//    loop (long terminator), played once;
//  - region 2 "Bass" (program 33) plays wave 2 "bass": 2 samples, played by no surviving note;
//  - song 0 "a.mid": data 00 02 90 01 02 03, usage on channel 1 (Piano) and 10 (Kick found,
//    and a drum key found only through a remap); song 1 "b.pt3": 5 bytes of AY data with one
//    relocation at offset 1.
CompilerState handBuiltCollection();

} // namespace telmira::compiler::test
