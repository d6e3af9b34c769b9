#pragma once

#include "compiler/args.h"
#include "compiler/outcome.h"
#include "compiler/session.h"

#include <span>
#include <string_view>

namespace telmira::compiler {

// One script line being run: its arguments (after the command name) and its number.
struct CommandCall {
    Session& session;
    ArgReader& args;
    unsigned line;

    CompilerState& state() { return session.state; }
    Console& out() { return session.out; }
};

using CommandHandler = Outcome (*)(CommandCall&);

struct Command {
    std::string_view name;
    CommandHandler run;
};

// The 34 commands in lookup order.
std::span<const Command> commandTable();
// The command of that name, compared without regard to case; null when there is none.
const Command* findCommand(std::string_view name);

// Handlers that live beside the modules they drive.
Outcome remapRegionCommand(CommandCall& call);
Outcome remapProgramCommand(CommandCall& call);
Outcome instrumentVolumeCommand(CommandCall& call);
Outcome channelVolumeCommand(CommandCall& call);

} // namespace telmira::compiler
