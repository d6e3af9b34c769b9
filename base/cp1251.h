#pragma once

#include <string>
#include <string_view>

namespace telmira {

// The Windows-1251 code page, the one text encoding of every file the product reads and writes
// (settings, projects, descriptions, codes.voc, logs, scripts, strings inside binary records).
// In memory text is UTF-8 (std::string) or QString.

// Decodes Windows-1251 bytes. The one unassigned byte 0x98 becomes U+FFFD.
std::string cp1251ToUtf8(std::string_view bytes);

// Encodes UTF-8 text. Characters the code page lacks, and malformed UTF-8, become '?';
// `lossless` (when given) tells whether every character was representable.
std::string utf8ToCp1251(std::string_view utf8, bool* lossless = nullptr);

// Whether every character of the UTF-8 text has a byte in the code page (false for malformed
// UTF-8): text that fails would be stored with '?' in its place.
bool canEncodeCp1251(std::string_view utf8);

} // namespace telmira
