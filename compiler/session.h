#pragma once

#include "compiler/console.h"
#include "compiler/stages.h"
#include "compiler/state.h"

#include <string>

namespace telmira::compiler {

// Everything one run of a script works with.
struct Session {
    explicit Session(Console& console, Stages withStages = buildStages())
        : out(console), stages(std::move(withStages)) {}

    CompilerState state;
    Console& out;
    Stages stages;
    // The AY converter library, loaded by name through the normal search path (the program
    // carries its own folder in it); tests may name a file instead.
    std::string ayvexLibrary = "libayvex.so";
};

} // namespace telmira::compiler
