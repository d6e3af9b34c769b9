#include "ayvex/pt3rows.h"

#include <cstdio>

namespace ayvex {

std::string hex4(std::uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

std::string hex2(std::uint32_t value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

namespace {

bool isEffect(std::uint8_t d) {
    return (d >= 0x01 && d <= 0x05) || d == 0x08 || d == 0x09;
}

// Parameter bytes of an effect command after the row.
std::uint32_t effectParamCount(std::uint8_t d) {
    switch (d) {
    case 0x01:
    case 0x08:
        return 3; // delay, 16-bit value
    case 0x02:
        return 5; // delay, two bytes the player needs no more, 16-bit value
    case 0x05:
        return 2; // on and off time
    default:
        return 1;
    }
}

// Operand bytes that follow a command inline.
std::uint32_t inlineCount(std::uint8_t d) {
    if (d == 0x10 || d == 0xB1 || d >= 0xF0)
        return 1;
    if (d >= 0x11 && d <= 0x1F)
        return 3; // envelope period high, low, sample byte
    if (d >= 0xB2 && d <= 0xBF)
        return 2; // envelope period high, low
    return 0;
}

bool endsRow(std::uint8_t d) {
    return (d >= 0x50 && d <= 0xAF) || d == 0xC0 || d == 0xD0;
}

bool isUnknown(std::uint8_t d) {
    return d == 0x06 || d == 0x07 || (d >= 0x0A && d <= 0x0F);
}

std::uint8_t sampleOfByte(std::uint8_t v) {
    return (v >> 1) & 0x1F;
}

std::int16_t signedWord(std::uint8_t low, std::uint8_t high) {
    return std::int16_t(std::uint16_t(low | high << 8));
}

void putByte(Encoder& e, Table t, int value) {
    e.put(t, std::uint8_t(value & 0xFF));
}

// Glide, portamento and envelope slide share one form: a short one for a delay below 2 and a
// value that fits a signed byte, else delay and both value bytes.
void codeSlide(Encoder& e, std::uint8_t delay, std::uint8_t low, std::uint8_t high,
               std::uint8_t shortSymbol, std::uint8_t longSymbol, bool symbolOnly,
               bool paramsOnly) {
    const int value = signedWord(low, high);
    const bool brief = delay < 2 && value >= -128 && value <= 127;
    if (!paramsOnly)
        e.put(Table::Class, brief ? shortSymbol : longSymbol);
    if (symbolOnly)
        return;
    if (brief) {
        putByte(e, Table::Value, (low - 70) ^ 0x84);
    } else {
        putByte(e, Table::Value, (delay - 71) ^ 0x86);
        putByte(e, Table::Value, (low ^ 0x6B) - 35);
        putByte(e, Table::Value, (high ^ 0x87) - 64);
    }
}

// Writes the effect's symbol (symbolOnly) or its parameter codes (paramsOnly).
void codeEffect(Encoder& e, const Pt3Effect& fx, bool symbolOnly) {
    const bool paramsOnly = !symbolOnly;
    const auto& p = fx.param;
    switch (fx.code) {
    case 0x01:
        codeSlide(e, p[0], p[1], p[2], 14, 19, symbolOnly, paramsOnly);
        return;
    case 0x02:
        codeSlide(e, p[0], p[3], p[4], 15, 25, symbolOnly, paramsOnly);
        return;
    case 0x08:
        codeSlide(e, p[0], p[1], p[2], 20, 24, symbolOnly, paramsOnly);
        return;
    case 0x03:
    case 0x04:
        if (symbolOnly)
            e.put(Table::Class, fx.code == 0x03 ? 23 : 16);
        else
            putByte(e, Table::Value, (p[0] - 66) ^ 0xF8);
        return;
    case 0x05:
        if (symbolOnly) {
            e.put(Table::Class, 18);
        } else {
            putByte(e, Table::Small, (p[0] ^ 1) - 1);
            putByte(e, Table::Small, (p[1] ^ 1) - 1);
        }
        return;
    case 0x09:
        if (symbolOnly)
            e.put(Table::Class, 7);
        else
            putByte(e, Table::Value, (p[0] - 68) ^ 0x87);
        return;
    default:
        return;
    }
}

void codeEnvelope(Encoder& e, std::uint8_t shape, std::uint8_t high, std::uint8_t low,
                  std::uint8_t longSymbol, std::uint8_t shortSymbol) {
    if (high != 0) {
        e.put(Table::Class, longSymbol);
        putByte(e, Table::Value, (high - 66) ^ 0xF8);
        putByte(e, Table::Value, (low ^ 0x70) - 41);
    } else {
        e.put(Table::Class, shortSymbol);
        e.put(Table::Value, low);
    }
    putByte(e, Table::Small, (shape ^ 0x0D) - 1);
}

} // namespace

bool readPt3Row(const Bytes& bytes, std::uint32_t& pos, std::uint32_t& skip, Pt3Row& row,
                std::string& error) {
    row.commands.clear();
    row.effects.clear();
    row.endsStream = false;
    row.badEnd = false;
    auto pastEnd = [&](std::uint32_t at) {
        error = "channel stream runs past the end of the module at " + hex4(at) + "h";
        return false;
    };
    for (;;) {
        if (!bytes.has(pos, 1))
            return pastEnd(pos);
        Pt3Command command;
        command.at = pos;
        command.code = bytes.at(pos++);
        if (command.code == 0x00) {
            row.endsStream = true;
            row.badEnd = !row.commands.empty();
            // A row cut short by the stream's end never reaches its effect parameters.
            row.effects.clear();
            return true;
        }
        const std::uint32_t operands = inlineCount(command.code);
        if (!bytes.has(pos, operands))
            return pastEnd(pos);
        command.argAt = pos;
        for (std::uint32_t i = 0; i < operands; ++i)
            command.arg[i] = bytes.at(pos++);
        if (command.code == 0xB1)
            skip = command.arg[0] == 0 ? 256 : command.arg[0];
        if (isEffect(command.code))
            row.effects.push_back(Pt3Effect{command.code, {}, 0});
        row.commands.push_back(command);
        if (endsRow(command.code))
            break;
    }
    for (std::size_t i = row.effects.size(); i-- > 0;) {
        Pt3Effect& fx = row.effects[i];
        const std::uint32_t count = effectParamCount(fx.code);
        if (!bytes.has(pos, count))
            return pastEnd(pos);
        fx.paramAt = pos;
        for (std::uint32_t k = 0; k < count; ++k)
            fx.param[k] = bytes.at(pos++);
    }
    return true;
}

void notePt3Row(const Pt3Row& row, Pt3Usage& usage, std::vector<std::string>& warnings) {
    auto sampleByte = [&](std::uint8_t v, std::uint32_t at) {
        if ((v & 1) != 0 || v >= 64)
            warnings.push_back("  + WARN: PT3 Smp not even or >31, Addr=" + hex4(at) +
                               "h data=" + hex2(v) + "h");
        ++usage.sample[sampleOfByte(v)];
    };
    std::size_t effectsSeen = 0;
    for (const Pt3Command& c : row.commands) {
        const std::uint8_t d = c.code;
        if (isEffect(d)) {
            if (++effectsSeen > 1)
                warnings.push_back("  + WARN: PT3 too many AddCmds");
        } else if (d == 0x10) {
            sampleByte(c.arg[0], c.argAt);
        } else if (d >= 0x11 && d <= 0x1F) {
            sampleByte(c.arg[2], c.argAt + 2);
        } else if (d >= 0x40 && d <= 0x4F) {
            ++usage.ornament[d & 0x0F];
        } else if (d >= 0xD1 && d <= 0xEF) {
            ++usage.sample[d - 0xD0];
        } else if (d >= 0xF0) {
            ++usage.ornament[d & 0x0F];
            sampleByte(c.arg[0], c.argAt);
        } else if (isUnknown(d)) {
            warnings.push_back("  + WARN: PT3 command error, Addr=" + hex4(c.at) +
                               "h data=" + hex2(d) + "h");
        }
    }
    if (row.badEnd)
        warnings.push_back("  + WARN: PT3 - badly 0x00 cmd");
    if (row.effects.empty())
        return;
    const Pt3Effect& fx = row.effects.front();
    const auto& p = fx.param;
    if (fx.code == 0x01 || fx.code == 0x02 || fx.code == 0x08) {
        const std::uint8_t low = fx.code == 0x02 ? p[3] : p[1];
        const std::uint8_t high = fx.code == 0x02 ? p[4] : p[2];
        if (p[0] == 0 && signedWord(low, high) != 0)
            warnings.push_back("  + WARN: PT3 delay=0??, Addr=" + hex4(fx.paramAt) + "h");
    } else if (fx.code == 0x05 && (p[0] > 15 || p[1] > 15)) {
        warnings.push_back("  + WARN: PT3 VolTime>15, Addr=" + hex4(fx.paramAt) + "h");
    }
}

void codePt3Row(const Pt3Row& row, const Pt3Numbering& numbering, Encoder& e) {
    auto sample = [&](std::uint8_t v) { e.put(Table::Class, numbering.sample[sampleOfByte(v)]); };
    bool effectCoded = false;
    for (const Pt3Command& c : row.commands) {
        const std::uint8_t d = c.code;
        if (isEffect(d)) {
            if (!effectCoded && !row.effects.empty()) {
                codeEffect(e, row.effects.front(), true);
                effectCoded = true;
            }
        } else if (d == 0x10) {
            e.put(Table::Class, 17);
            sample(c.arg[0]);
        } else if (d >= 0x11 && d <= 0x1F) {
            codeEnvelope(e, std::uint8_t(d - 0x10), c.arg[0], c.arg[1], 22, 9);
            sample(c.arg[2]);
        } else if (d >= 0x20 && d <= 0x3F) {
            e.put(Table::Class, 11);
            putByte(e, Table::Class, ((d & 0x1F) ^ 7) - 7);
        } else if (d >= 0x40 && d <= 0x4F) {
            e.put(Table::Class, 8);
            e.put(Table::Small, numbering.ornament[d & 0x0F]);
        } else if (d >= 0x50 && d <= 0xAF) {
            e.put(Table::Class, 0);
            e.put(Table::Note, std::uint8_t(d - 0x50));
        } else if (d == 0xB0) {
            e.put(Table::Class, 13);
        } else if (d == 0xB1) {
            e.put(Table::Class, 2);
            putByte(e, Table::Value, (c.arg[0] - 66) ^ 0x87);
        } else if (d >= 0xB2 && d <= 0xBF) {
            codeEnvelope(e, std::uint8_t(d - 0xB1), c.arg[0], c.arg[1], 21, 5);
        } else if (d == 0xC0) {
            e.put(Table::Class, 12);
        } else if (d >= 0xC1 && d <= 0xCF) {
            e.put(Table::Class, 1);
            putByte(e, Table::Class, ~d & 0x0F);
        } else if (d == 0xD0) {
            e.put(Table::Class, 6);
        } else if (d >= 0xD1 && d <= 0xEF) {
            e.put(Table::Class, 3);
            e.put(Table::Class, numbering.sample[d - 0xD0]);
        } else if (d >= 0xF0) {
            e.put(Table::Class, 4);
            e.put(Table::Small, numbering.ornament[d & 0x0F]);
            sample(c.arg[0]);
        }
    }
    if (row.endsStream) {
        e.put(Table::Class, 10);
        return;
    }
    if (effectCoded)
        codeEffect(e, row.effects.front(), false);
}

} // namespace ayvex
