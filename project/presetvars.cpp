#include "project/presetvars.h"

#include "base/displaycodec.h"
#include "base/firmware.h"
#include "frame/records.h"
#include "project/descriptions.h"

namespace telmira::presets {

namespace {

constexpr int kMaxText = 255;

QString hexId(std::uint32_t address) {
    return QStringLiteral("%1").arg(address, 4, 16, QLatin1Char('0')).toUpper();
}

void report(rom::ExportReport& out, int number, const QString& text) {
    out.report(number, text.toStdString());
}

bool fail(rom::ExportReport& out, int number, const QString& text) {
    report(out, number, text);
    return false;
}

bool failLookup(rom::ExportReport& out, const rom::DefaultsLookup& lookup) {
    out.report(lookup.error.number, lookup.error.text);
    return false;
}

QString outOfRange(std::uint32_t address, const QString& id, const QString& value) {
    return QStringLiteral("ZELSplitToROM: Значение переменной вышло за пределы допустимого, "
                          "Address ") +
           hexId(address) + QStringLiteral(", Key ") + id + QStringLiteral(", Value = ") + value;
}

QString limitsDiffer(std::uint32_t address, const rom::DefaultsEntry& entry) {
    return QStringLiteral("ZELSplitToROM: Значения пределов Min/Max не совпадают со значениями "
                          "ПЗУ ID# ") +
           hexId(address) + QStringLiteral(" min: ") + QStringLiteral("%1").arg(entry.minimum, 3) +
           QStringLiteral(" max: ") + QStringLiteral("%1").arg(entry.maximum, 3);
}

QString unshowable(std::uint32_t address, const QString& key, const QString& character) {
    return QStringLiteral("ZELSplitToROM: Неотобразимый символ ID# ") + hexId(address) + key +
           QStringLiteral(", символ = \"") + character + QStringLiteral("\"");
}

// A number of a position "(x,y)": digits, "$" and a leading sign only; 0 when empty.
int positionNumber(const QString& text) {
    QString kept;
    for (const QChar c : text) {
        if ((c.isDigit() && c.unicode() < 128) || c == '$')
            kept += c;
        else if ((c == '-' || c == '+') && kept.isEmpty())
            kept += c;
    }
    return parseInteger(kept).value_or(0);
}

class Writer {
public:
    Writer(rom::RomImage& image, const rom::RomDescription& rom, rom::ExportReport& out)
        : image_(image), rom_(rom), out_(out), cursor_(rom) {}

    bool write(const PresetVariable& v) {
        const std::uint32_t a = v.address;
        if (a & rom::kBitsClass)
            return bits(v);
        if (a & rom::kVal99Class)
            return v.additional == 12 ? time(v) : val99(v);
        if (a & rom::kValFFClass)
            return valFF(v);
        if (a & rom::kDigitStringClass)
            return digits(v);
        if (a == rom::kSplashByteAddress)
            return splashByte(v);
        if (a == rom::kSplashTextAddress)
            return splashText(v);
        return true;
    }

    bool finish() {
        if (cursor_.available())
            put(0);
        return !out_.failed();
    }

private:
    bool put(std::uint8_t value) { return cursor_.put(image_, value, out_); }

    bool store(std::uint32_t position, std::uint8_t value) {
        if (!image_.putByte(position, value))
            return fail(out_, 36, QStringLiteral("ZELSplitToROM: Структура ПЗУ нарушена"));
        return true;
    }

    bool bits(const PresetVariable& v) {
        const auto lookup = rom::lookupDefaultsEntry(image_, rom_, v.address);
        if (!lookup.entry)
            return failLookup(out_, lookup);
        // A flag byte has bits 0..7 only.
        if (v.additional < 0 || v.additional > 7)
            return fail(out_, 37,
                        QStringLiteral("ZELSplitToROM: Illegal defaults bits ID# ") +
                            hexId(v.address));
        const auto mask = static_cast<std::uint8_t>(1u << v.additional);
        auto byte = static_cast<std::uint8_t>(lookup.entry->value & ~mask);
        if (v.value != 0)
            byte |= mask;
        return store(lookup.entry->position, byte);
    }

    bool time(const PresetVariable& v) {
        const int hours = parseInteger(v.text.left(2)).value_or(24);
        const int minutes = parseInteger(v.text.mid(2, 2)).value_or(60);
        const std::uint32_t a = v.address;
        if ((a & 0xFFFF) == 0xFFFF) // the minutes would need entry 0x10000
            return fail(out_, 35,
                        QStringLiteral("ZELSplitToROM:  Illegal defaults val99 ID# ") +
                            hexId(a + 1));
        const std::uint32_t next = a + 1;
        const auto hourEntry = rom::lookupDefaultsEntry(image_, rom_, a);
        if (!hourEntry.entry)
            return failLookup(out_, hourEntry);
        const auto minuteEntry = rom::lookupDefaultsEntry(image_, rom_, next);
        if (!minuteEntry.entry)
            return failLookup(out_, minuteEntry);
        if (hours < hourEntry.entry->minimum || hours > hourEntry.entry->maximum)
            return fail(out_, 701, outOfRange(a, v.id, QString::number(hours)));
        if (minutes < minuteEntry.entry->minimum || minutes > minuteEntry.entry->maximum)
            return fail(out_, 701, outOfRange(next, v.id, QString::number(minutes)));
        return store(hourEntry.entry->position, static_cast<std::uint8_t>(hours)) &&
               store(minuteEntry.entry->position, static_cast<std::uint8_t>(minutes));
    }

    bool val99(const PresetVariable& v) {
        if (v.value < v.minimum || v.value > v.maximum)
            return fail(out_, 701, outOfRange(v.address, v.id, v.rawValue));
        int stored = v.value;
        int maximum = v.maximum;
        if (v.additional == 11) { // shown one more than stored; 0 stands for the maximum
            stored = v.value == 0 ? v.maximum : v.value - 1;
            maximum = v.maximum - 1;
        }
        const auto lookup = rom::lookupDefaultsEntry(image_, rom_, v.address);
        if (!lookup.entry)
            return failLookup(out_, lookup);
        if (v.minimum < lookup.entry->minimum || maximum > lookup.entry->maximum)
            return fail(out_, 70, limitsDiffer(v.address, *lookup.entry));
        return store(lookup.entry->position, static_cast<std::uint8_t>(stored));
    }

    bool valFF(const PresetVariable& v) {
        const auto lookup = rom::lookupDefaultsEntry(image_, rom_, v.address);
        if (!lookup.entry)
            return failLookup(out_, lookup);
        const rom::DefaultsEntry& entry = *lookup.entry;
        if (v.minimum < entry.minimum || v.maximum > entry.maximum)
            return fail(out_, 71, limitsDiffer(v.address, entry));
        if (v.value < v.minimum || v.value > v.maximum)
            return fail(out_, 711, outOfRange(v.address, v.id, v.rawValue));
        const auto extra = image_.byteAt(entry.extraPosition).value_or(0);
        const auto high = static_cast<std::uint8_t>((v.value & 0x80) ? 0x40 : 0);
        return store(entry.position, static_cast<std::uint8_t>(v.value & 0x7F)) &&
               store(entry.extraPosition, static_cast<std::uint8_t>((extra & ~0x40) | high));
    }

    bool digits(const PresetVariable& v) {
        if (!cursor_.available())
            return fail(out_, 372,
                        QStringLiteral("ZELSplitToROM: No ub_FreeSpace definition for ID# ") +
                            hexId(v.address));
        const DigitString split = SplitDigitString(v.text);
        const QString text = split.digits.trimmed();
        if (text.isEmpty())
            return true;
        std::vector<std::uint8_t> codes;
        for (const QChar c : text) {
            const auto code = DigitCode(c);
            if (!code)
                return fail(out_, 373, unshowable(v.address, QString(), c));
            codes.push_back(*code);
        }
        if (!put(split.position ? 0x81 : 0x80))
            return false;
        const auto lengthAt = cursor_.position();
        if (!lengthAt || !put(0) || !put(static_cast<std::uint8_t>(v.address)))
            return false;
        unsigned length = 1;
        if (split.position) {
            if (!put(static_cast<std::uint8_t>(split.position->first)) ||
                !put(static_cast<std::uint8_t>(split.position->second)))
                return false;
            length += 2;
        }
        for (std::size_t i = 0; i < codes.size(); i += 2) {
            const std::uint8_t high = i + 1 < codes.size() ? codes[i + 1] : 0x0B;
            if (!put(static_cast<std::uint8_t>(codes[i] | high << 4)))
                return false;
            ++length;
        }
        return store(*lengthAt, static_cast<std::uint8_t>(length));
    }

    bool splashByte(const PresetVariable& v) {
        // Only the styles 0 and 1 carry the byte address.
        if (!rom_.splash || rom_.splash->style > 1)
            return true;
        return store(rom_.splash->byteAddress, static_cast<std::uint8_t>(v.value));
    }

    bool splashText(const PresetVariable& v) {
        const std::uint32_t a = v.address;
        if (v.text.trimmed().isEmpty())
            return fail(out_, 374,
                        QStringLiteral("ZELSplitToROM: Пустая строка недопустима ID# ") + hexId(a) +
                            QStringLiteral(", Key ") + v.id);
        const display::SplashText split = display::splitSplashText(v.text.toStdString());
        if (!split.invalid.empty())
            return fail(out_, 373,
                        unshowable(a, QStringLiteral(", Key ") + v.id,
                                   QString::fromStdString(split.invalid)));
        const QString tooLong =
            QStringLiteral("ZELSplitToROM: Заставка слишком длинная ID# ") + hexId(a);
        if (split.items.size() > 255)
            return fail(out_, 72, tooLong);
        const std::vector<std::uint8_t> chained =
            display::chainSplashCodes(split.items, firmware::kSplashSeed);
        if (!rom_.splash)
            return true;
        const rom::SplashFields& splash = *rom_.splash;
        if (splash.style == 1) {
            if (split.items.empty())
                return true;
            if (!cursor_.available())
                return fail(out_, 372,
                            QStringLiteral("ZELSplitToROM: No ub_FreeSpace definition for ID# ") +
                                hexId(a));
            // The record's length byte counts the bytes after it.
            if (chained.size() + 2 > 255)
                return fail(out_, 72, tooLong);
            std::vector<std::uint8_t> record = {
                static_cast<std::uint8_t>(split.leadIn ? 0x61 : 0x60),
                static_cast<std::uint8_t>(chained.size() + 2)};
            record.insert(record.end(), chained.begin(), chained.end());
            record.push_back(0xDB);
            record.push_back(0x00);
            for (const std::uint8_t b : record)
                if (!put(b))
                    return false;
            return true;
        }
        if (splash.style != 0)
            return true;
        std::vector<std::uint8_t> bytes;
        if (!split.leadIn)
            bytes = {0xDB, 0x02};
        bytes.insert(bytes.end(), chained.begin(), chained.end());
        bytes.push_back(0xDB);
        bytes.push_back(0x00);
        const std::uint32_t start =
            split.leadIn ? std::uint32_t{splash.areaStart} - splash.leadIn : splash.areaStart;
        if (start + bytes.size() > std::uint32_t{splash.areaStart} + splash.areaLength)
            return fail(out_, 72, tooLong);
        if (!image_.write(start, bytes))
            return fail(out_, 36, QStringLiteral("ZELSplitToROM: Структура ПЗУ нарушена"));
        return true;
    }

    rom::RomImage& image_;
    const rom::RomDescription& rom_;
    rom::ExportReport& out_;
    rom::UserDataCursor cursor_;
};

} // namespace

std::uint32_t ParseAddressWord(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 8)
        return 0;
    bool ok = false;
    const std::uint32_t value = t.toUInt(&ok, 16);
    for (const QChar c : t)
        if (!std::isxdigit(static_cast<unsigned char>(c.toLatin1())) || c.unicode() >= 128)
            return 0;
    return ok ? value : 0;
}

PresetVariable JoinVariable(const QString& projectLine, const QStringList& variableList) {
    PresetVariable v;
    const qsizetype eq = projectLine.indexOf('=');
    v.id = (eq < 0 ? projectLine : projectLine.left(eq)).trimmed();
    v.rawValue = eq < 0 ? QString() : projectLine.mid(eq + 1);
    v.text = QString(v.rawValue).remove(';').left(kMaxText);
    v.value = parseInteger(v.text).value_or(0);
    const QString record = RecordById(variableList, v.id);
    if (record.isEmpty())
        return v;
    v.address = ParseAddressWord(FieldOf(record, QStringLiteral("Address")));
    v.additional = FieldIntOf(record, QStringLiteral("Additional"), 0);
    v.minimum = FieldIntOf(record, QStringLiteral("Min"), 0);
    v.maximum = FieldIntOf(record, QStringLiteral("Max"), 0);
    return v;
}

DigitString SplitDigitString(const QString& text) {
    DigitString out;
    const qsizetype open = text.indexOf('(');
    if (open < 0) {
        out.digits = text;
        return out;
    }
    out.digits = text.left(open);
    const QString after = text.mid(open + 1);
    const qsizetype comma = after.indexOf(',');
    const QString x = comma < 0 ? after : after.left(comma);
    QString y;
    if (comma >= 0) {
        y = after.mid(comma + 1);
        if (const qsizetype close = y.indexOf(')'); close >= 0)
            y = y.left(close);
    }
    out.position = std::make_pair(positionNumber(x), positionNumber(y));
    return out;
}

std::optional<std::uint8_t> DigitCode(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return static_cast<std::uint8_t>(u - '0');
    switch (u) {
    case u'-':
        return 10;
    case u'_':
        return 13;
    case u'P':
    case u'p':
    case u'ђ':
    case u'Р':
    case u'р':
        return 12;
    case u'T':
    case u't':
    case u'Т':
        return 14;
    case u'Џ':
    case u'П':
    case u'п':
        return 15;
    default:
        return std::nullopt;
    }
}

bool WritePresetVariables(const QStringList& defaultValues, const QStringList& variableList,
                          rom::RomImage& image, const rom::RomDescription& rom,
                          rom::ExportReport& out) {
    if (defaultValues.isEmpty())
        return fail(out, 1000,
                    QStringLiteral("ZELSplitToROM: Секция DefaultValues пуста, проверьте "
                                   "целостность проекта"));
    Writer writer(image, rom, out);
    for (const QString& line : defaultValues) {
        const PresetVariable v = JoinVariable(line, variableList);
        if (v.address == 0)
            continue;
        if (!writer.write(v) || out.failed())
            return false;
    }
    return writer.finish();
}

} // namespace telmira::presets
