#pragma once

#include "link/dispatch.h"

#include <QString>

#include <functional>

// How the main window shows the number of a phone event (incoming call or a number dialled on
// the phone): its display form, the last-number label, and the last-number button's hint and
// tag. No widgets.
namespace telmira {

using MaskFormatter = std::function<QString(const QString& mask, const QString& digits)>;

// The display form of a split number: the local part laid into "0000" when country and city are
// blank and it has fewer than 4 digits, else into "0000-000-00-00"; "(" city ") " in front when
// there is a city code; "*" and the extension after it when there is one. Without a formatter
// the local part stays as it is. Empty when local part, city and extension are all blank, so
// that the label shows "[-------]"; a number without a country code (a local call) is shown like
// any other.
QString eventNumberText(const link::NumberParts& parts, const MaskFormatter& formatByMask);

struct LastNumberDisplay {
    QString label; // "Последний номер: " + number, or "Последний номер: [-------]"
    QString hint; // the last-number button's hint ("...|")
    int tag = 0;  // 2 for a dialled, 1 for an incoming number
};
LastNumberDisplay lastNumberDisplay(const QString& shown, bool dialled);

} // namespace telmira
