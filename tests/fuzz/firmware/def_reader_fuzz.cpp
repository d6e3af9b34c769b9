// Fuzz entry point for phone description files and the version list: the input is read as a
// description (Windows-1251 INI text) and as a zel.ini, and every list, section reader and
// lookup runs over it.
#include "project/descriptions.h"
#include "project/versionchoice.h"

#include "frame/records.h"

#include <cstddef>
#include <cstdint>

using namespace telmira;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    PhoneDescription description;
    description.Adopt(TMyMemIniFile::fromBytes(bytes), QStringLiteral("fuzz.def"), QString());
    description.Ver();
    description.MelodySetName();
    description.SetData();
    description.MelodyList();
    description.PhoneSetup();
    description.AutoSetup();
    description.ServiceArea();
    for (const QStringList* list : {&description.Lines(), &description.Keys(),
                                    &description.Devices(), &description.Variables()}) {
        for (const QString& line : *list) {
            const DescriptionLine split = SplitDescriptionLine(line);
            IndexById(*list, split.id);
            IndexByField(*list, QStringLiteral("Code"), FieldOf(split.record, "Code"));
            HexFieldOf(split.record, QStringLiteral("Address"));
            HexFieldOf(split.record, QStringLiteral("Code"));
        }
    }

    const auto settings = TMyMemIniFile::fromBytes(bytes);
    const ProjectDefs defs = ProjectDefs::Read(*settings);
    const VersionChoice choice(defs);
    for (int row = 0; row < choice.Items().size(); ++row)
        if (const auto key = choice.KeyForRow(row)) {
            defs.FileNameForKey(*key);
            defs.NameForKey(*key);
        }
    for (const ProjectDefEntry& entry : defs.Entries())
        defs.FileNameForCode(entry.code, QString());
    return 0;
}
