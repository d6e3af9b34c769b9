// mkbank: builds the shipped instrument bank zel.dls from a General MIDI SoundFont, and the
// instrument region table that zel builds in. See README.md.
//
//   mkbank <soundfont.sf2> <bank.dls> <instrumentregions.cpp>

#include "tools/mkbank/budget.h"
#include "tools/mkbank/dlscheck.h"
#include "tools/mkbank/dlswriter.h"
#include "tools/mkbank/plan.h"
#include "tools/mkbank/soundfont.h"
#include "tools/mkbank/tablewriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace telmira::mkbank;

// Writes through a temporary file, so that an interrupted run never leaves half a file that
// the build would take as up to date.
bool writeFile(const std::filesystem::path& path, const void* data, std::size_t size) {
    std::error_code ec;
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), ec);
    }
    const std::filesystem::path temp = path.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.close();
        if (!out) {
            std::fprintf(stderr, "mkbank: cannot write %s\n", temp.c_str());
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::fprintf(stderr, "mkbank: cannot write %s: %s\n", path.c_str(), ec.message().c_str());
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: mkbank <soundfont.sf2> <bank.dls> <instrumentregions.cpp>\n");
        return 1;
    }
    const std::filesystem::path soundFont = argv[1];
    SourceBank source;
    std::string error;
    if (!loadSoundFont(soundFont.string(), source, error)) {
        std::fprintf(stderr, "mkbank: %s\n", error.c_str());
        return 1;
    }
    Bank bank;
    if (!planBank(source, PlanOptions{}, bank, error)) {
        std::fprintf(stderr, "mkbank: %s: %s\n", soundFont.c_str(), error.c_str());
        return 1;
    }
    bank.name = "Telmira General MIDI bank";
    bank.copyright = "GPL-2; samples from TimGM6mb.sf2 by Tim Brechbill (2004) and David "
                     "Bolton (2010)";
    bank.comment = "Built by mkbank from " + soundFont.filename().string();

    const std::vector<std::uint8_t> dls = writeDls(bank);
    DlsContents contents;
    const std::vector<std::string> problems = checkDls(dls, contents);
    for (const std::string& p : problems) {
        std::fprintf(stderr, "mkbank: the written bank is faulty: %s\n", p.c_str());
    }
    const BudgetReport report = measureBudget(bank, dls.size());
    std::fputs(formatBudget(report).c_str(), stdout);
    for (const std::string& p : report.violations) {
        std::fprintf(stderr, "mkbank: over budget: %s\n", p.c_str());
    }
    if (!problems.empty() || !report.violations.empty()) {
        return 1;
    }
    const std::string table = writeRegionTable(bank, dls.size(), soundFont.filename().string());
    if (!writeFile(argv[2], dls.data(), dls.size()) ||
        !writeFile(argv[3], table.data(), table.size())) {
        return 1;
    }
    return 0;
}
