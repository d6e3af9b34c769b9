// Fuzz entry point: a raw number (as typed or as decoded from the phone) split against a small
// directory, both variants, and laid into the display masks.
#include "contacts/codedirectory.h"
#include "contacts/numbers.h"
#include "contacts/splitnumber.h"

#include <cstddef>
#include <cstdint>

using namespace telmira::contacts;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto dir = TCodeDirectory::fromBytes(
        "[CountryCodes]\r\n1=Code=7; RusName=R; Length=10; LongDistance=8; International=810;\r\n"
        "2=Code=44; RusName=G; Length=9; Length1=10;\r\n3=Code=; RusName=E;\r\n"
        "[Country7]\r\n1=Name=M;Code=495;Range=5-;\r\n2=Name=O;Code=095;Replace=495;\r\n"
        "3=Name=E;Code=;\r\n");
    OriginSettings origin;
    origin.longDistance = QStringLiteral("8");
    origin.international = QStringLiteral("810");
    origin.length = 10;
    const QString number = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (bool keep : {true, false}) {
        const SplitResult a = SplitNumber(number, keep, origin, *dir);
        const SplitResult b = SplitNumberWithExtension(number, keep, origin, *dir);
        NumberDisplayText(a.country, a.city, a.local);
        ArchiveNumberText(b.country, b.city, b.local + QLatin1Char('*') + b.extension);
        dir->CityName(a.country, a.city, a.local);
    }
    InRanges(number, number);
    FormatByMask(number, number);
    return 0;
}
