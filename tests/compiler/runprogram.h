#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace telmira::compiler::test {

struct ProgramRun {
    int exitCode = -1;  // the process's exit status (0..255), -1 when it did not exit normally
    std::string output; // standard output
};

// Runs `program` with `args` in the folder `cwd` and waits for it.
ProgramRun runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                      const std::filesystem::path& cwd);

} // namespace telmira::compiler::test
