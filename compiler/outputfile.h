#pragma once

#include "compiler/console.h"
#include "compiler/outcome.h"

#include <string>
#include <string_view>

namespace telmira::compiler {

// Text files of the compiler are built in memory (a Console that collects into a string) and
// saved in text mode: Windows-1251 with CR LF line ends, as the desktop application and the
// firmware's tools read them.
std::string textModeBytes(std::string_view utf8);

enum class SaveStatus { Ok, CannotCreate, CannotWrite };

// Writes the bytes as the whole content of the file. A file that could be created but not
// written in full is removed, so no half file stays behind.
SaveStatus saveFile(const std::string& path, std::string_view bytes);

// Saves the file; on failure prints "  + Can't create file: %s\n" (or "  + Can't write file:
// %s\n" when the disk refused the bytes) with `shownPath` and ends the run with exit code 1.
Outcome saveOutput(Console& out, const std::string& path, std::string_view bytes,
                   const std::string& shownPath);
inline Outcome saveOutput(Console& out, const std::string& path, std::string_view bytes) {
    return saveOutput(out, path, bytes, path);
}

// A folder argument with the separator a file name can be appended to.
std::string folderPrefix(const std::string& folder);

} // namespace telmira::compiler
