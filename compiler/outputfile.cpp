#include "compiler/outputfile.h"

#include "base/cp1251.h"

#include <cstdio>

namespace telmira::compiler {

std::string textModeBytes(std::string_view utf8) {
    std::string crlf;
    crlf.reserve(utf8.size() + utf8.size() / 16);
    for (const char c : utf8) {
        if (c == '\n')
            crlf.push_back('\r');
        crlf.push_back(c);
    }
    return utf8ToCp1251(crlf);
}

SaveStatus saveFile(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return SaveStatus::CannotCreate;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::remove(path.c_str());
        return SaveStatus::CannotWrite;
    }
    return SaveStatus::Ok;
}

Outcome saveOutput(Console& out, const std::string& path, std::string_view bytes,
                   const std::string& shownPath) {
    switch (saveFile(path, bytes)) {
    case SaveStatus::Ok:
        return Outcome::next();
    case SaveStatus::CannotCreate:
        out.print("  + Can't create file: %s\n", shownPath.c_str());
        break;
    case SaveStatus::CannotWrite:
        out.print("  + Can't write file: %s\n", shownPath.c_str());
        break;
    }
    return Outcome::stop(Outcome::kFileError);
}

std::string folderPrefix(const std::string& folder) {
    if (folder.empty() || folder.back() == '/')
        return folder;
    return folder + '/';
}

} // namespace telmira::compiler
