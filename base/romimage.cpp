#include "base/romimage.h"

#include "base/crc.h"
#include "base/firmware.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace telmira::rom {

bool isImageSize(std::uint64_t size) {
    return size == kSmallImageSize || size == kLargeImageSize;
}

std::optional<std::uint8_t> RomImage::byteAt(std::uint64_t offset) const {
    if (!contains(offset))
        return std::nullopt;
    return bytes_[offset];
}

std::optional<std::uint16_t> RomImage::wordAt(std::uint64_t offset) const {
    if (!contains(offset, 2))
        return std::nullopt;
    return static_cast<std::uint16_t>(bytes_[offset] << 8 | bytes_[offset + 1]);
}

bool RomImage::write(std::uint64_t offset, std::span<const std::uint8_t> data) {
    if (!contains(offset, data.size()))
        return false;
    std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

bool RomImage::putByte(std::uint64_t offset, std::uint8_t value) {
    return write(offset, std::span<const std::uint8_t>(&value, 1));
}

bool RomImage::putWord(std::uint64_t offset, std::uint16_t value) {
    const std::array<std::uint8_t, 2> bytes = {static_cast<std::uint8_t>(value >> 8),
                                               static_cast<std::uint8_t>(value)};
    return write(offset, bytes);
}

std::uint16_t RomImage::byteSum() const {
    std::uint16_t sum = 0;
    for (std::uint8_t b : bytes_)
        sum = static_cast<std::uint16_t>(sum + b);
    return sum;
}

std::optional<std::uint32_t> controlStructureOffset(const RomImage& image) {
    const auto bank = image.byteAt(kPointerPosition);
    const auto address = image.wordAt(kPointerPosition + 1);
    if (!bank || !address)
        return std::nullopt;
    const std::uint32_t bankNumber = *bank ^ firmware::kControlPointerMask;
    const auto plain = static_cast<std::uint16_t>(*address - firmware::kControlPointerOffset);
    return bankNumber * kBankSize + plain;
}

std::array<std::uint8_t, 3> disguisedPointer(std::uint32_t offset) {
    const auto bank = static_cast<std::uint8_t>(offset / kBankSize);
    const auto address =
        static_cast<std::uint16_t>((offset % kBankSize) + firmware::kControlPointerOffset);
    return {static_cast<std::uint8_t>(bank ^ firmware::kControlPointerMask),
            static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
}

bool storeChecksum(RomImage& image, std::uint32_t end) {
    if (!image.contains(end, 2))
        return false;
    const std::uint16_t crc = crc16Xmodem(image.bytes().first(end));
    const std::array<std::uint8_t, 2> bytes = {static_cast<std::uint8_t>(crc),
                                               static_cast<std::uint8_t>(crc >> 8)};
    return image.write(end, bytes);
}

bool checksumMatches(const RomImage& image, std::uint32_t end) {
    if (!image.contains(end, 2))
        return false;
    const std::uint16_t crc = crc16Xmodem(image.bytes().first(end));
    return image.bytes()[end] == (crc & 0xFF) && image.bytes()[end + 1] == (crc >> 8);
}

RomFileContents readRomFile(const fs::path& path) {
    RomFileContents result;
    if (path.empty()) {
        result.status = RomFileStatus::NoName;
        return result;
    }
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        result.status = RomFileStatus::CannotOpen;
        return result;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in) {
        result.status = RomFileStatus::CannotOpen;
        return result;
    }
    result.fileSize = size;
    const std::uint64_t wanted = std::min<std::uint64_t>(size, kLargeImageSize);
    result.bytes.resize(wanted);
    in.read(reinterpret_cast<char*>(result.bytes.data()), static_cast<std::streamsize>(wanted));
    if (static_cast<std::uint64_t>(in.gcount()) != wanted) {
        result.bytes.resize(static_cast<std::size_t>(in.gcount()));
        result.status = RomFileStatus::ReadError;
    }
    return result;
}

RomFileStatus writeRomFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
    if (path.empty())
        return RomFileStatus::NoName;
    std::error_code ec;
    // Write through a symbolic link, not over it.
    const fs::path target = fs::weakly_canonical(path, ec);
    if (ec || target.empty() || fs::is_directory(target, ec))
        return RomFileStatus::CannotCreate;
    std::string temp = (target.parent_path() / (target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return RomFileStatus::CannotCreate;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok) {
        const fs::file_status old = fs::status(target, ec);
        const fs::perms perms = (!ec && fs::exists(old))
                                    ? old.permissions()
                                    : fs::perms::owner_read | fs::perms::owner_write |
                                          fs::perms::group_read | fs::perms::others_read;
        fs::permissions(temp, perms, ec);
        fs::rename(temp, target, ec);
        ok = !ec;
    }
    if (!ok) {
        fs::remove(temp, ec);
        return RomFileStatus::WriteError;
    }
    return RomFileStatus::Ok;
}

std::optional<LoadedRom> readRomImage(const fs::path& path, ExportReport& report) {
    const std::string name = path.string();
    RomFileContents file = readRomFile(path);
    switch (file.status) {
    case RomFileStatus::NoName:
        report.report(1, "Ошибка открытия файла ПЗУ " + name);
        return std::nullopt;
    case RomFileStatus::CannotOpen:
        report.report(2, "Ошибка открытия файла ПЗУ " + name);
        return std::nullopt;
    case RomFileStatus::ReadError:
        report.report(4, "ROM file read error");
        return std::nullopt;
    default:
        break;
    }
    report.report(0, "Успешно прочитано из файла ПЗУ... (" + std::to_string(file.bytes.size()) +
                         " байт)");
    if (!isImageSize(file.fileSize)) {
        report.report(3, "Недопустимый размер файла ПЗУ " + name);
        return std::nullopt;
    }
    LoadedRom loaded{RomImage(std::move(file.bytes)), 0};
    const auto offset = controlStructureOffset(loaded.image);
    if (!offset || *offset >= loaded.image.size()) {
        report.report(5, "Ошибка в файле ПЗУ " + name);
        return std::nullopt;
    }
    loaded.structureOffset = *offset;
    return loaded;
}

bool writeRomImage(const fs::path& path, const RomImage& image, ExportReport& report) {
    if (report.failed())
        return false;
    const std::string text = "! Ошибка записи в файл ПЗУ " + path.string();
    switch (writeRomFile(path, image.bytes())) {
    case RomFileStatus::Ok:
        report.report(0, "Предустановленные переменные экспортированы в код ПЗУ");
        return true;
    case RomFileStatus::NoName:
        report.report(6, text);
        return false;
    case RomFileStatus::CannotCreate:
        report.report(7, text);
        return false;
    default:
        report.report(8, text);
        return false;
    }
}

} // namespace telmira::rom
