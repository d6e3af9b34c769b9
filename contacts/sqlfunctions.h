#pragma once

#include <QString>

struct sqlite3;

// SQL functions and the collation every connection to the tables registers:
//  - UPPER(x): upper case of every script (Cyrillic included), replacing SQLite's ASCII one;
//  - zel_like(pattern, v1, ..., vn): (v1 || ... || vn) LIKE pattern, NULL values read as empty
//    text; the same answer as the concatenation, without building it;
//  - zel_upper_like_any_order(pattern, a, b, c, d): true when UPPER of the four values joined
//    in any of their 24 orders is LIKE pattern;
//  - collation ZEL: case-insensitive, Ё right after Е, then the bytes.
// LIKE here is SQLite's case-sensitive LIKE: "%" any run of characters, "_" one character.
namespace telmira::contacts {

void RegisterZelFunctions(sqlite3* db);

QString ZelUpper(const QString& text);
int ZelCompare(const QString& a, const QString& b);
bool ZelLike(const QString& pattern, const QString& text);

} // namespace telmira::contacts
