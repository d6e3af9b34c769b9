// Fuzz entry point: codes.voc as read from disk, then every directory operation over it.
#include "contacts/codedirectory.h"
#include "contacts/origin.h"
#include "contacts/splitnumber.h"
#include "contacts/voceditorstate.h"

#include <cstddef>
#include <cstdint>

using namespace telmira::contacts;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    auto dir = TCodeDirectory::fromBytes(bytes);
    auto ini = telmira::TMyMemIniFile::fromBytes({});
    const OriginSettings origin = ReadOriginSettings(*ini, *dir);
    const auto width = [](const QString& s) { return int(s.size()); };
    const ChoiceList countries = dir->CountryChoiceList(false, width);
    for (const CountryRow& row : dir->Countries()) {
        dir->CityChoiceList(row.code, true, width);
        for (const CityRow& city : dir->Cities(row.code))
            dir->CityName(row.code, city.code, city.range);
    }
    for (const char* number : {"84951234567", "+74951234567", "81044201234567", "1234567",
                               "84951234567*12", "*100", "0", "+"}) {
        const SplitResult r = SplitNumberWithExtension(number, false, origin, *dir);
        dir->CityName(r.country, r.city, r.local);
        dir->CountryName(r.country);
    }
    // The editor over the first country, saved back into memory.
    VocEditorState editor(*dir, nullptr);
    if (!countries.lines.isEmpty()) {
        editor.SelectCountry(countries.lines.front());
        editor.SortBy(VocEditorState::CodeColumn);
        editor.SetCell(0, VocEditorState::CodeColumn, QStringLiteral("1=2 (3)"));
        editor.SaveSection();
    }
    dir->ToBytes();
    return 0;
}
