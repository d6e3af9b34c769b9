// Fuzz entry point: a project file's layout sections through the layout parser and the table
// builder of both table styles.
#include "project/layouttables.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

QStringList keys() {
    QStringList out;
    for (int i = 1; i <= 12; ++i)
        out << QStringLiteral("%1=Name=%1; Code=%2;").arg(i).arg(i, 2, 16, QLatin1Char('0'));
    out << QStringLiteral("50=Name=Без кода;") << QStringLiteral("101=Name=+; Code=60;")
        << QStringLiteral("102=Name=Большой; Code=1FF;");
    return out;
}

QStringList lines() {
    QStringList out;
    for (int i = 0; i < 16; ++i)
        out << QStringLiteral("%1=Address=%2;").arg(i).arg(i, 4, 16, QLatin1Char('0'));
    out << QStringLiteral("16=Address=0040;") << QStringLiteral("17=Address=FFFFFFFE;");
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QStringList keyList = keys();
    static const QStringList lineList = lines();
    const auto project = telmira::TMyMemIniFile::fromBytes(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    for (const bool newStyle : {false, true}) {
        telmira::rom::ExportReport report;
        telmira::layout::ParsedLayouts parsed;
        if (!telmira::layout::ParseLayouts(*project, keyList, lineList, parsed, report))
            continue;
        telmira::layout::RowsNeeded(parsed);
        telmira::layout::KeyboardStaging staging(newStyle, 0x40);
        telmira::layout::BuildTables(parsed, staging, report);
    }
    return 0;
}
