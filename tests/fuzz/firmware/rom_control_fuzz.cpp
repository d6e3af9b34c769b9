// Fuzz entry point for the ROM image readers. The first byte chooses the form of the input:
//   even: the rest is the plain control structure, enciphered into a 256 KB image (the second
//         byte picks its bank, so structures near the end of the image are reached too);
//   odd:  the rest is laid over the start of a 512 KB image as it is (pointer and enciphered
//         bytes included).
// Every reader runs on the result: the export's walk, the compiler's walk, the summary, the
// preset lookups and the user data cursor.
#include "base/firmware.h"
#include "base/romcontrol.h"
#include "base/rompresets.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace telmira;
using namespace telmira::rom;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const bool plainForm = (data[0] & 1) == 0;
    RomImage image(std::vector<std::uint8_t>(plainForm ? kSmallImageSize : kLargeImageSize, 0));
    if (plainForm) {
        const std::uint32_t offset = (data[1] & 3) * kBankSize + 0xFF00u + (data[1] >> 2);
        image.write(kPointerPosition, disguisedPointer(offset));
        writeControlStructure(image, offset, {data + 2, size - 2}, firmware::kDefaultDataKey);
    } else {
        image.write(0, {data + 1, std::min<std::size_t>(size - 1, image.size())});
    }

    const auto offset = controlStructureOffset(image);
    for (unsigned rows : {1u, 15u}) {
        const auto result =
            readControlStructure(image, offset.value_or(0), firmware::kDefaultDataKey, rows);
        if (!result.description)
            continue;
        const RomDescription& rom = *result.description;
        for (std::uint32_t n = 0; n < 4; ++n)
            for (std::uint32_t cls : {kBitsClass, kVal99Class, kValFFClass})
                lookupDefaultsEntry(image, rom, cls | n);
        UserDataCursor cursor(rom);
        ExportReport report;
        for (int i = 0; i < 64 && cursor.put(image, 0xAB, report); ++i) {
        }
        if (rom.checksum)
            if (const auto end = rom.checksum->end())
                storeChecksum(image, *end);
    }
    readPatchLayout(image, firmware::kDefaultDataKey);
    summarizeRom(image, "");
    return 0;
}
