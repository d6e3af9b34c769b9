#pragma once

#include "compiler/outcome.h"
#include "compiler/session.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace telmira::compiler {

// Script lines are read into a 256-byte buffer; a line longer than 200 characters, its line end
// included (CR LF counts as one, as the scripts are text files), makes the script corrupt.
inline constexpr std::size_t kMaxScriptLine = 200;

// Runs one script line (Windows-1251 bytes without its line end). A script error prints the
// line-numbered message with its BEL.
Outcome runScriptLine(Session& session, std::string_view line, unsigned number);

// Runs the script read from `file` line by line, commands at once in script order; `path`
// names it in messages. Returns the program's exit code: 0 when the script ran to its end.
int runScript(Session& session, std::FILE* file, const std::string& path);

// The whole program: banner, argument check, the script named on the command line.
int midi2zavraMain(int argc, const char* const* argv, Session& session);

} // namespace telmira::compiler
