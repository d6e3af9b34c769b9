#include "contacts/sqlfunctions.h"

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <string>

namespace telmira::contacts {
namespace {

// Upper case of the code points the tables meet most: ASCII and Russian Cyrillic. -1 for any
// other non-ASCII code point, which the slow path hands to Qt.
int fastUpper(char32_t c) {
    if (c < 0x80)
        return c >= 'a' && c <= 'z' ? int(c - 32) : int(c);
    if (c >= 0x430 && c <= 0x44F)
        return int(c - 0x20);
    if (c >= 0x450 && c <= 0x45F)
        return int(c - 0x50);
    if (c >= 0x400 && c <= 0x42F)
        return int(c);
    return -1;
}

// Decodes one UTF-8 sequence at p (len bytes left); returns its length, 0 at a malformed byte.
int decodeUtf8(const unsigned char* p, int len, char32_t& c) {
    if (p[0] < 0x80) {
        c = p[0];
        return 1;
    }
    if ((p[0] & 0xE0) == 0xC0 && len >= 2 && (p[1] & 0xC0) == 0x80) {
        c = char32_t(p[0] & 0x1F) << 6 | (p[1] & 0x3F);
        return 2;
    }
    if ((p[0] & 0xF0) == 0xE0 && len >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
        c = char32_t(p[0] & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
        return 3;
    }
    if ((p[0] & 0xF8) == 0xF0 && len >= 4 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80 &&
        (p[3] & 0xC0) == 0x80) {
        c = char32_t(p[0] & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 | char32_t(p[2] & 0x3F) << 6 |
            (p[3] & 0x3F);
        return 4;
    }
    return 0;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// UPPER of UTF-8 text into `out`; the fast path covers ASCII and Cyrillic, anything else goes
// through Qt.
void upperUtf8(const unsigned char* text, int len, std::string& out) {
    out.clear();
    for (int i = 0; i < len;) {
        char32_t c = 0;
        const int n = decodeUtf8(text + i, len - i, c);
        const int upper = n ? fastUpper(c) : -1;
        if (upper < 0) {
            out =
                QString::fromUtf8(reinterpret_cast<const char*>(text), len).toUpper().toStdString();
            return;
        }
        appendUtf8(out, char32_t(upper));
        i += n;
    }
}

void upperFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const unsigned char* text = sqlite3_value_text(argv[0]);
    const int len = sqlite3_value_bytes(argv[0]);
    if (!text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    thread_local std::string upper;
    upperUtf8(text, len, upper);
    sqlite3_result_text(context, upper.data(), int(upper.size()), SQLITE_TRANSIENT);
}

// The sort weight of a code point: case folded, Ё right after Е, everything else in code order.
char32_t weight(char32_t c) {
    const int upper = fastUpper(c);
    const char32_t u = upper < 0 ? c : char32_t(upper);
    if (u == 0x401)
        return 0x415 * 2 + 1;
    return u * 2;
}

int compareBytes(const unsigned char* a, int la, const unsigned char* b, int lb) {
    const int byBytes = std::memcmp(a, b, size_t(std::min(la, lb)));
    if (byBytes != 0)
        return byBytes < 0 ? -1 : 1;
    return la == lb ? 0 : (la < lb ? -1 : 1);
}

int compareUtf8(const unsigned char* a, int la, const unsigned char* b, int lb) {
    int i = 0;
    int j = 0;
    while (i < la && j < lb) {
        char32_t ca = 0;
        char32_t cb = 0;
        const int na = decodeUtf8(a + i, la - i, ca);
        const int nb = decodeUtf8(b + j, lb - j, cb);
        if (!na || !nb)
            return compareBytes(a, la, b, lb); // malformed text: plain byte order
        const char32_t wa = weight(ca);
        const char32_t wb = weight(cb);
        if (wa != wb)
            return wa < wb ? -1 : 1;
        i += na;
        j += nb;
    }
    if (i < la)
        return 1;
    if (j < lb)
        return -1;
    return compareBytes(a, la, b, lb); // equal but for letter case: a fixed order all the same
}

int zelCollation(void*, int la, const void* a, int lb, const void* b) {
    return compareUtf8(static_cast<const unsigned char*>(a), la,
                       static_cast<const unsigned char*>(b), lb);
}

// ---- LIKE without building the text

// Decodes UTF-8 into code points; a malformed byte stands for itself.
void decodeAll(const unsigned char* text, int len, std::u32string& out) {
    out.clear();
    for (int i = 0; i < len;) {
        char32_t c = 0;
        const int n = decodeUtf8(text + i, len - i, c);
        out += n ? c : char32_t(text[i]);
        i += n ? n : 1;
    }
}

// SQLite's case-sensitive LIKE without an escape character.
bool likeMatch(const std::u32string& p, const char32_t* s, size_t sn) {
    size_t i = 0;
    size_t j = 0;
    size_t star = std::u32string::npos;
    size_t mark = 0;
    while (j < sn) {
        if (i < p.size() && p[i] != U'%' && (p[i] == U'_' || p[i] == s[j])) {
            ++i;
            ++j;
        } else if (i < p.size() && p[i] == U'%') {
            star = i++;
            mark = j;
        } else if (star != std::u32string::npos) {
            i = star + 1;
            j = ++mark;
        } else {
            return false;
        }
    }
    while (i < p.size() && p[i] == U'%')
        ++i;
    return i == p.size();
}

void appendValue(sqlite3_value* value, std::u32string& out, bool upper) {
    if (sqlite3_value_type(value) == SQLITE_NULL)
        return;
    const unsigned char* text = sqlite3_value_text(value);
    const int len = sqlite3_value_bytes(value);
    if (!text)
        return;
    const size_t start = out.size();
    for (int i = 0; i < len;) {
        char32_t c = 0;
        const int n = decodeUtf8(text + i, len - i, c);
        const int folded = upper && n ? fastUpper(c) : int(c);
        if (upper && folded < 0) {
            // A character outside the fast path: fold the whole value through Qt.
            thread_local std::string slow;
            upperUtf8(text, len, slow);
            std::u32string part;
            decodeAll(reinterpret_cast<const unsigned char*>(slow.data()), int(slow.size()), part);
            out.resize(start);
            out += part;
            return;
        }
        out += n ? char32_t(folded) : char32_t(text[i]);
        i += n ? n : 1;
    }
}

// The decoded pattern, kept with the statement while the pattern argument stays the same.
const std::u32string* readPattern(sqlite3_context* context, sqlite3_value* value) {
    if (sqlite3_value_type(value) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return nullptr;
    }
    if (auto* kept = static_cast<const std::u32string*>(sqlite3_get_auxdata(context, 0)))
        return kept;
    auto* pattern = new std::u32string;
    decodeAll(sqlite3_value_text(value), sqlite3_value_bytes(value), *pattern);
    sqlite3_set_auxdata(context, 0, pattern,
                        [](void* p) { delete static_cast<std::u32string*>(p); });
    // set_auxdata may have dropped it already (out of memory): ask again.
    if (auto* kept = static_cast<const std::u32string*>(sqlite3_get_auxdata(context, 0)))
        return kept;
    sqlite3_result_error_nomem(context);
    return nullptr;
}

void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const std::u32string* pattern = readPattern(context, argv[0]);
    if (!pattern)
        return;
    thread_local std::u32string text;
    text.clear();
    for (int i = 1; i < argc; ++i)
        appendValue(argv[i], text, false);
    sqlite3_result_int(context, likeMatch(*pattern, text.data(), text.size()) ? 1 : 0);
}

void anyOrderFunction(sqlite3_context* context, int, sqlite3_value** argv) {
    const std::u32string* pattern = readPattern(context, argv[0]);
    if (!pattern)
        return;
    thread_local std::array<std::u32string, 4> parts;
    for (int i = 0; i < 4; ++i) {
        parts[size_t(i)].clear();
        appendValue(argv[i + 1], parts[size_t(i)], true);
    }
    std::array<int, 4> order{0, 1, 2, 3};
    thread_local std::u32string joined;
    do {
        joined.clear();
        for (int i : order)
            joined += parts[size_t(i)];
        if (likeMatch(*pattern, joined.data(), joined.size())) {
            sqlite3_result_int(context, 1);
            return;
        }
    } while (std::next_permutation(order.begin(), order.end()));
    sqlite3_result_int(context, 0);
}

} // namespace

void RegisterZelFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function_v2(db, "upper", 1, flags, nullptr, upperFunction, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "zel_like", -1, flags, nullptr, likeFunction, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "zel_upper_like_any_order", 5, flags, nullptr, anyOrderFunction,
                               nullptr, nullptr, nullptr);
    sqlite3_create_collation_v2(db, "ZEL", SQLITE_UTF8, nullptr, zelCollation, nullptr);
}

bool ZelLike(const QString& pattern, const QString& text) {
    std::u32string p;
    const QByteArray up = pattern.toUtf8();
    decodeAll(reinterpret_cast<const unsigned char*>(up.constData()), int(up.size()), p);
    std::u32string s;
    const QByteArray us = text.toUtf8();
    decodeAll(reinterpret_cast<const unsigned char*>(us.constData()), int(us.size()), s);
    return likeMatch(p, s.data(), s.size());
}

QString ZelUpper(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    std::string upper;
    upperUtf8(reinterpret_cast<const unsigned char*>(utf8.constData()), int(utf8.size()), upper);
    return QString::fromStdString(upper);
}

int ZelCompare(const QString& a, const QString& b) {
    const QByteArray ua = a.toUtf8();
    const QByteArray ub = b.toUtf8();
    return compareUtf8(reinterpret_cast<const unsigned char*>(ua.constData()), int(ua.size()),
                       reinterpret_cast<const unsigned char*>(ub.constData()), int(ub.size()));
}

} // namespace telmira::contacts
