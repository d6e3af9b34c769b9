#include "tests/compiler/compilertest.h"

#include "compiler/script.h"

#include <cstdio>
#include <memory>

namespace telmira::compiler::test {

namespace {
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
} // namespace

int ScriptHarness::run(std::string_view text) {
    std::unique_ptr<std::FILE, FileCloser> file(std::tmpfile());
    if (!file)
        return -1;
    std::fwrite(text.data(), 1, text.size(), file.get());
    std::rewind(file.get());
    return runScript(session, file.get(), "test.tcl");
}

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string le16(std::uint16_t value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string le32(std::uint32_t value) {
    return le16(static_cast<std::uint16_t>(value & 0xFFFF)) +
           le16(static_cast<std::uint16_t>(value >> 16));
}

std::string be16(std::uint16_t value) {
    return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

std::string be32(std::uint32_t value) {
    return be16(static_cast<std::uint16_t>(value >> 16)) +
           be16(static_cast<std::uint16_t>(value & 0xFFFF));
}

std::string vlq(std::uint32_t value) {
    std::string bytes(1, static_cast<char>(value & 0x7F));
    while ((value >>= 7) != 0)
        bytes.insert(bytes.begin(), static_cast<char>(0x80 | (value & 0x7F)));
    return bytes;
}

std::string mtrk(std::string_view events) {
    return "MTrk" + be32(static_cast<std::uint32_t>(events.size())) + std::string(events);
}

std::string smf(std::uint16_t format, std::uint16_t division,
                const std::vector<std::string>& tracks) {
    std::string file = "MThd" + be32(6) + be16(format) +
                       be16(static_cast<std::uint16_t>(tracks.size())) + be16(division);
    for (const std::string& track : tracks)
        file += mtrk(track);
    return file;
}

std::string riffChunk(std::string_view id, std::string_view body) {
    std::string chunk = std::string(id) + le32(static_cast<std::uint32_t>(body.size()));
    chunk += body;
    if (body.size() % 2)
        chunk.push_back('\0');
    return chunk;
}

std::string riffList(std::string_view type, std::string_view children) {
    return riffChunk("LIST", std::string(type) + std::string(children));
}

std::string riff(std::string_view form, std::string_view children) {
    return riffChunk("RIFF", std::string(form) + std::string(children));
}

} // namespace telmira::compiler::test
