#include "frame/zelstart.h"

#include "base/cp1251.h"
#include "base/version.h"

#include <cstdio>
#include <string>

namespace telmira {

int zelMain(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "-?" || first == "/?") {
        std::FILE* log = std::fopen("zel.log", "wb");
        if (!log)
            return 1;
        const std::string text =
            "\r\nTelmira, версия " TELMIRA_VERSION "\r\n" TELMIRA_MAKER "\r\n\r\n"
            "Экспорт проекта в ПЗУ: zel.exe -zelpack RomFile.rom "
            "ProjectFile.zel\r\nОткрыть проект: zel.exe ProjectFile.zel\r\n";
        const std::string bytes = utf8ToCp1251(text);
        std::fwrite(bytes.data(), 1, bytes.size(), log);
        std::fclose(log);
        return 0;
    }
    return 0;
}

} // namespace telmira
