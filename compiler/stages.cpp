#include "compiler/stages.h"

namespace telmira::compiler {

Stages buildStages() {
    // Song compilation, sample preparation, packing, the output files, the filter database and
    // ROM patching join here as they are built.
    return Stages{};
}

Outcome notAvailable(Console& out, std::string_view command) {
    out.print("ERR: command '%.*s' is not available in this build\n",
              static_cast<int>(command.size()), command.data());
    return Outcome::stop(Outcome::kFileError);
}

} // namespace telmira::compiler
