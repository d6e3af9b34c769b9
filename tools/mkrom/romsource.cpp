#include "tools/mkrom/romsource.h"

#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace telmira::mkrom {

namespace {

using rom::ControlRecord;

// A problem on the line being read; turned into a LocatedError naming file and line.
struct ParseError {
    std::string text;
};
struct LocatedError {
    std::string text;
};

std::optional<std::uint64_t> parseNumber(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::uint64_t value = 0;
    for (std::size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * (hex ? 16 : 10) + digit;
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return value;
}

class Line {
public:
    Line(std::vector<std::string> words) : words_(std::move(words)) {
        for (std::size_t i = 1; i < words_.size(); ++i) {
            const auto eq = words_[i].find('=');
            if (eq != std::string::npos)
                named_[words_[i].substr(0, eq)] = words_[i].substr(eq + 1);
            else
                positional_.push_back(words_[i]);
        }
    }
    const std::string& directive() const { return words_[0]; }
    const std::vector<std::string>& positional() const { return positional_; }

    std::uint64_t number(const std::string& text, std::uint64_t max,
                         const std::string& what) const {
        const auto value = parseNumber(text);
        if (!value || *value > max)
            throw ParseError{"bad " + what + " \"" + text + "\""};
        return *value;
    }
    bool has(const std::string& key) const { return named_.count(key) != 0; }
    std::uint64_t field(const std::string& key, std::uint64_t max) const {
        const auto it = named_.find(key);
        if (it == named_.end())
            throw ParseError{"missing " + key + "="};
        return number(it->second, max, key);
    }
    std::uint64_t field(const std::string& key, std::uint64_t max, std::uint64_t def) const {
        return has(key) ? field(key, max) : def;
    }
    std::uint16_t address(const std::string& key) const {
        return static_cast<std::uint16_t>(field(key, 0xFFFF));
    }
    std::uint8_t byte(const std::string& key, std::uint8_t def) const {
        return static_cast<std::uint8_t>(field(key, 0xFF, def));
    }
    // bank:address
    std::pair<unsigned, std::uint16_t> romAddress(const std::string& text) const {
        const auto colon = text.find(':');
        if (colon == std::string::npos)
            throw ParseError{"expected bank:address, got \"" + text + "\""};
        return {static_cast<unsigned>(number(text.substr(0, colon), 7, "bank")),
                static_cast<std::uint16_t>(number(text.substr(colon + 1), 0xFFFF, "address"))};
    }

private:
    std::vector<std::string> words_;
    std::vector<std::string> positional_;
    std::map<std::string, std::string> named_;
};

class Parser {
public:
    RomSource source;

    void parseText(const std::string& text, const fs::path& dir, const std::string& name,
                   int depth) {
        std::istringstream in(text);
        std::string raw;
        int lineNumber = 0;
        while (std::getline(in, raw)) {
            ++lineNumber;
            if (const auto hash = raw.find('#'); hash != std::string::npos)
                raw.erase(hash);
            std::istringstream words(raw);
            std::vector<std::string> tokens;
            for (std::string word; words >> word;)
                tokens.push_back(word);
            if (tokens.empty())
                continue;
            try {
                handle(Line(std::move(tokens)), dir, depth);
            } catch (const ParseError& e) {
                throw LocatedError{name + ":" + std::to_string(lineNumber) + ": " + e.text};
            }
        }
    }

private:
    void handle(const Line& line, const fs::path& dir, int depth) {
        const std::string& d = line.directive();
        const auto& args = line.positional();
        if (d == "size") {
            need(args, 1);
            source.sizeKb = static_cast<unsigned>(line.number(args[0], 1024, "size"));
            if (source.sizeKb != 256 && source.sizeKb != 512)
                throw ParseError{"the size must be 256 or 512"};
        } else if (d == "seed") {
            need(args, 1);
            source.seed = static_cast<std::uint32_t>(line.number(args[0], 0xFFFFFFFF, "seed"));
        } else if (d == "structure") {
            need(args, 1);
            const auto [bank, address] = line.romAddress(args[0]);
            source.structureOffset = rom::romOffset(bank, address);
        } else if (d == "include") {
            need(args, 1);
            if (depth >= 8)
                throw ParseError{"includes nested too deeply"};
            const fs::path path = dir / args[0];
            std::ifstream in(path, std::ios::binary);
            if (!in)
                throw ParseError{"cannot read " + path.string()};
            std::stringstream text;
            text << in.rdbuf();
            parseText(text.str(), path.parent_path(), path.filename().string(), depth + 1);
        } else if (d == "userdata") {
            rom::UserDataRecord r;
            r.bankField = line.byte("bank", 1);
            r.firstBank = static_cast<std::uint8_t>(line.field("first", 0xFF));
            r.start = line.address("start");
            r.end = line.address("end");
            source.records.emplace_back(r);
        } else if (d == "melody") {
            rom::MelodyAreasRecord r;
            for (const std::string& area : args) {
                const auto dash = area.find('-');
                if (dash == std::string::npos)
                    throw ParseError{"expected bank:start-end, got \"" + area + "\""};
                const auto [bank, start] = line.romAddress(area.substr(0, dash));
                const auto end = line.number(area.substr(dash + 1), 0xFFFF, "end");
                r.areas[bank] = {start, static_cast<std::uint16_t>(end)};
            }
            source.records.emplace_back(r);
        } else if (d == "splash") {
            rom::SplashRecord r;
            r.bankField = static_cast<std::uint8_t>(line.field("style", 15));
            if (r.bankField <= 1)
                r.byteAddress = line.address("byte");
            if (r.bankField == 0) {
                r.areaStart = line.address("area");
                r.areaLength = line.byte("length", 0);
                if (line.has("leadin"))
                    r.leadIn = line.byte("leadin", 0);
            }
            source.records.emplace_back(r);
        } else if (d == "presets") {
            rom::PresetTablesRecord r;
            r.revision = line.byte("revision", 0);
            r.bits.address = line.address("bits");
            r.valFF.address = line.address("valff");
            r.val99.address = line.address("val99");
            source.records.emplace_back(r);
        } else if (d == "patchpoints") {
            rom::SkippedRecord r;
            for (const std::string& point : args) {
                const auto colon = point.find(':');
                if (colon == std::string::npos)
                    throw ParseError{"expected type:address, got \"" + point + "\""};
                r.payload.push_back(
                    static_cast<std::uint8_t>(line.number(point.substr(0, colon), 0xFF, "type")));
                const auto address = line.number(point.substr(colon + 1), 0xFFFF, "address");
                r.payload.push_back(static_cast<std::uint8_t>(address >> 8));
                r.payload.push_back(static_cast<std::uint8_t>(address));
            }
            source.records.emplace_back(r);
        } else if (d == "checksum") {
            rom::ChecksumRecord r;
            r.kind = line.byte("kind", 0);
            r.length = line.address("length");
            source.records.emplace_back(r);
        } else if (d == "calculator") {
            rom::CalculatorRecord r;
            r.bankField = line.byte("bank", 1);
            r.calculatorTable = line.address("calc");
            r.keyTable = line.address("keys");
            source.records.emplace_back(r);
        } else if (d == "keyboard") {
            need(args, 1);
            if (args[0] != "old" && args[0] != "new")
                throw ParseError{"the keyboard style must be old or new"};
            const bool isNew = args[0] == "new";
            rom::KeyboardRecord r;
            r.bankField = static_cast<std::uint8_t>(line.field("bank", 7) | (isNew ? 8 : 0));
            r.functionTable = line.address("function");
            r.format = static_cast<std::uint8_t>(line.field("rows", 15) << 4);
            r.returnMaskTable = line.address("return");
            if (isNew)
                r.offsetTable = line.address("offset");
            r.driveTable = line.address("drive");
            r.scanMaskAddress = line.address("scan");
            r.outputMaskTable = line.address("output");
            source.driveBase = line.byte("drivebase", 0);
            source.records.emplace_back(r);
        } else if (d == "bits") {
            for (const std::string& value : args)
                source.bits.push_back(
                    static_cast<std::uint8_t>(line.number(value, 0xFF, "flag byte")));
        } else if (d == "val99") {
            need(args, 1);
            Val99Entry e;
            e.wide = line.positional().size() > 1 && args[1] == "wide";
            e.value = static_cast<unsigned>(line.number(args[0], e.wide ? 0xFF : 0xFD, "value"));
            if (!e.wide) {
                e.maximum = static_cast<unsigned>(line.field("max", 126));
                if (line.has("min"))
                    e.minimum = static_cast<unsigned>(line.field("min", 0xFF));
            }
            source.val99.push_back(e);
        } else if (d == "valff") {
            need(args, 1);
            ValFFEntry e;
            e.value = static_cast<unsigned>(line.number(args[0], 0xFF, "value"));
            e.maximum = static_cast<unsigned>(line.field("max", 254));
            e.minimum = static_cast<unsigned>(line.field("min", 63, 0));
            source.valFF.push_back(e);
        } else if (d == "splashbyte") {
            need(args, 1);
            source.splashByte = static_cast<std::uint8_t>(line.number(args[0], 0xFF, "value"));
        } else {
            throw ParseError{"unknown directive \"" + d + "\""};
        }
    }

    static void need(const std::vector<std::string>& args, std::size_t count) {
        if (args.size() < count)
            throw ParseError{"missing argument"};
    }
};

// The preset record's lengths follow the tables the source gives.
std::optional<std::string> finish(RomSource& source) {
    if (source.sizeKb == 0)
        return "no size given";
    if (!source.structureOffset)
        return "no structure position given";
    const std::size_t lengths[] = {bitsTableBytes(source).size(), valFFTableBytes(source).size(),
                                   val99TableBytes(source).size()};
    for (std::size_t length : lengths)
        if (length > 0xFF)
            return "a preset table is longer than 255 bytes";
    for (ControlRecord& record : source.records) {
        if (auto* presets = std::get_if<rom::PresetTablesRecord>(&record)) {
            presets->bits.length = static_cast<std::uint8_t>(lengths[0]);
            presets->valFF.length = static_cast<std::uint8_t>(lengths[1]);
            presets->val99.length = static_cast<std::uint8_t>(lengths[2]);
        }
    }
    return std::nullopt;
}

} // namespace

std::vector<std::uint8_t> bitsTableBytes(const RomSource& source) {
    std::vector<std::uint8_t> out = {0xFE};
    for (std::uint8_t flags : source.bits) {
        out.push_back(flags);
        out.push_back(0x00);
    }
    return out;
}

std::vector<std::uint8_t> val99TableBytes(const RomSource& source) {
    std::vector<std::uint8_t> out;
    for (const Val99Entry& e : source.val99) {
        if (e.wide) {
            out.push_back(0xFE);
            out.push_back(static_cast<std::uint8_t>(e.value));
            continue;
        }
        out.push_back(static_cast<std::uint8_t>(e.value));
        const auto limit = static_cast<std::uint8_t>(e.maximum + 1);
        if (e.minimum) {
            out.push_back(limit);
            out.push_back(static_cast<std::uint8_t>(*e.minimum));
        } else {
            out.push_back(static_cast<std::uint8_t>(limit | 0x80));
        }
    }
    return out;
}

std::vector<std::uint8_t> valFFTableBytes(const RomSource& source) {
    std::vector<std::uint8_t> out;
    for (const ValFFEntry& e : source.valFF) {
        const unsigned limit = e.maximum + 1;
        out.push_back(static_cast<std::uint8_t>(e.value & 0x7F));
        out.push_back(static_cast<std::uint8_t>(limit & 0x7F));
        out.push_back(static_cast<std::uint8_t>((limit & 0x80) | ((e.value & 0x80) >> 1) |
                                                (e.minimum & 0x3F)));
    }
    return out;
}

SourceResult parseRomSourceText(const std::string& text, const fs::path& dir,
                                const std::string& name) {
    Parser parser;
    try {
        parser.parseText(text, dir, name, 0);
    } catch (const LocatedError& e) {
        return {std::nullopt, e.text};
    }
    if (const auto error = finish(parser.source))
        return {std::nullopt, name + ": " + *error};
    return {std::move(parser.source), {}};
}

SourceResult parseRomSource(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {std::nullopt, "cannot read " + path.string()};
    std::stringstream text;
    text << in.rdbuf();
    return parseRomSourceText(text.str(), path.parent_path(), path.filename().string());
}

} // namespace telmira::mkrom
