#include "compiler/fileio.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <new>

namespace telmira::compiler {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

constexpr std::uint64_t kLargestFile = 0xFFFFFFFFu;

std::uint8_t byteAt(std::span<const std::uint8_t> bytes, std::size_t at) {
    return at < bytes.size() ? bytes[at] : 0;
}

} // namespace

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return std::nullopt;
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::uint64_t>(info.st_size) > kLargestFile)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return std::nullopt;
    return bytes;
}

std::uint16_t le16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(byteAt(bytes, at) | (byteAt(bytes, at + 1) << 8));
}

std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(le16(bytes, at)) |
           (static_cast<std::uint32_t>(le16(bytes, at + 2)) << 16);
}

std::uint16_t be16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>((byteAt(bytes, at) << 8) | byteAt(bytes, at + 1));
}

std::uint32_t be32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return (static_cast<std::uint32_t>(be16(bytes, at)) << 16) | be16(bytes, at + 2);
}

} // namespace telmira::compiler
