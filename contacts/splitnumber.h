#pragma once

#include "contacts/codedirectory.h"
#include "contacts/origin.h"

#include <QString>

// Splitting a raw number from the phone into country, city and local part against the origin
// settings and the city-code directory.
namespace telmira::contacts {

struct SplitResult {
    QString country;
    QString city;
    QString local;
    QString extension; // only SplitNumberWithExtension fills it

    bool operator==(const SplitResult&) const = default;
};

// keepCodes false (the display of phone events) puts the dialling prefixes in place of the
// country code: "8" for a national number, "8-10-7" for an international one.
SplitResult SplitNumber(const QString& number, bool keepCodes, const OriginSettings& origin,
                        const TCodeDirectory& directory);

// The variant for phone events and the call archive: an extension after the first "*" (or,
// without one, the first "t") at position 2 or later is cut off and returned apart; "*" stays
// allowed in the number, so "*100" keeps its star.
SplitResult SplitNumberWithExtension(const QString& number, bool keepCodes,
                                     const OriginSettings& origin, const TCodeDirectory& directory);

} // namespace telmira::contacts
