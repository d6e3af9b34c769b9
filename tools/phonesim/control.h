#pragma once

#include "tools/phonesim/phonecore.h"
#include "tools/phonesim/phonewire.h"

#include <QString>

// The control channel of the simulator: one order per line (stdin), one answer line back
// ("OK ..." or "ERR ..."). "help" lists the orders.
namespace telmira::phonesim {

struct ControlResult {
    QString answer;
    bool quit = false;
};

ControlResult applyControl(const QString& line, PhoneCore& core, PhoneWire& wire, qint64 nowMs);

// The list of orders, as "help" prints it.
QString controlHelp();

} // namespace telmira::phonesim
