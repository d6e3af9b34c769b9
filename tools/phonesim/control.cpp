#include "tools/phonesim/control.h"

#include "base/linkvocabulary.h"
#include "link/protocol.h"

#include <QStringList>

namespace telmira::phonesim {
namespace {

std::optional<int> number(const QString& text, int base = 10) {
    bool ok = false;
    const int value = text.toInt(&ok, base);
    return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<double> rate(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && value >= 0 && value <= 1 ? std::optional<double>(value) : std::nullopt;
}

std::optional<bool> onOff(const QString& text) {
    if (text == QLatin1String("on"))
        return true;
    if (text == QLatin1String("off"))
        return false;
    return std::nullopt;
}

} // namespace

QString controlHelp() {
    return QStringLiteral(
        "ring NUMBER            incoming call (event 61, line busy)\n"
        "dial NUMBER            number dialled on the phone (event 60, handset up, line taken)\n"
        "lift | hangup          handset up (answers a ringing call) | handset down, call ends\n"
        "status0 HH | status1 HH  set a status byte (hexadecimal)\n"
        "archive in|out|missed NUMBER [SECONDS]  add a new call record (FL_ARCHIVE)\n"
        "message NUMBER [SECONDS]  add an answering-machine message (FL_AUTO_CHANGE)\n"
        "alarm TEXT             an alarm goes off (event 59)\n"
        "key HH                 key event for the interactive layout mode (line pair)\n"
        "variables              the phone's settings changed (FL_VARIABLES)\n"
        "silence on|off         stop answering (the adapter still echoes)\n"
        "wait N [HH] | error N [HH]  answer the next N commands (only command HH when given)\n"
        "                       with \"wait\" ($80) | an error ($40)\n"
        "corrupt N [HH]         spoil the check byte of the next N replies (to command HH)\n"
        "drop RATE | corrupt-rate RATE  lose reply bytes | spoil check bytes at a rate 0..1\n"
        "pace on|off            10 ms per byte on the line\n"
        "state                  one line with the phone's state\n"
        "quit");
}

ControlResult applyControl(const QString& line, PhoneCore& core, PhoneWire& wire, qint64 nowMs) {
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ControlResult result{QStringLiteral("OK")};
    auto bad = [](const QString& why) { return ControlResult{QStringLiteral("ERR ") + why}; };
    if (words.isEmpty())
        return bad(QStringLiteral("empty order"));
    const QString order = words.first().toLower();
    const QString arg = words.value(1);

    if (order == QLatin1String("ring") || order == QLatin1String("dial")) {
        if (arg.isEmpty())
            return bad(QStringLiteral("number missing"));
        if (order == QLatin1String("ring"))
            core.ring(arg, nowMs);
        else
            core.dialOnPhone(arg, nowMs);
    } else if (order == QLatin1String("lift")) {
        core.liftHandset(nowMs);
    } else if (order == QLatin1String("hangup")) {
        core.hangUp(nowMs);
    } else if (order == QLatin1String("status0") || order == QLatin1String("status1")) {
        const std::optional<int> value = number(arg, 16);
        if (!value || *value < 0 || *value > 255)
            return bad(QStringLiteral("status byte in hexadecimal expected"));
        if (order == QLatin1String("status0"))
            core.setStatus0(static_cast<std::uint8_t>(*value));
        else
            core.setStatus1(static_cast<std::uint8_t>(*value));
    } else if (order == QLatin1String("archive")) {
        const QString kind = arg.toLower();
        const QString phone = words.value(2);
        const std::optional<int> seconds = words.size() > 3 ? number(words[3]) : 65;
        if (phone.isEmpty() || !seconds || *seconds < 0 ||
            (kind != QLatin1String("in") && kind != QLatin1String("out") &&
             kind != QLatin1String("missed")))
            return bad(QStringLiteral("archive in|out|missed NUMBER [SECONDS]"));
        core.addArchive(kind != QLatin1String("out"), phone,
                        kind == QLatin1String("missed") ? 0 : *seconds);
    } else if (order == QLatin1String("message")) {
        const std::optional<int> seconds = words.size() > 2 ? number(words[2]) : 15;
        if (arg.isEmpty() || !seconds)
            return bad(QStringLiteral("message NUMBER [SECONDS]"));
        core.addMessage(arg, *seconds);
    } else if (order == QLatin1String("alarm")) {
        core.alarmGoesOff(words.mid(1).join(QLatin1Char(' ')));
    } else if (order == QLatin1String("key")) {
        const std::optional<int> pair = number(arg, 16);
        if (!pair || *pair < 0 || *pair > 255)
            return bad(QStringLiteral("key HH"));
        core.keyEvent(static_cast<std::uint8_t>(*pair));
    } else if (order == QLatin1String("variables")) {
        core.setVariablesChanged();
    } else if (order == QLatin1String("silence") || order == QLatin1String("pace")) {
        const std::optional<bool> on = onOff(arg);
        if (!on)
            return bad(order + QStringLiteral(" on|off"));
        if (order == QLatin1String("silence"))
            wire.setSilent(*on);
        else
            wire.setPace(*on);
    } else if (order == QLatin1String("wait") || order == QLatin1String("error") ||
               order == QLatin1String("corrupt")) {
        const std::optional<int> count = number(arg);
        const std::optional<int> command = words.size() > 2 ? number(words[2], 16) : -1;
        if (!count || *count < 0 || !command || *command < -1 || *command > link::kMaxCommand)
            return bad(order + QStringLiteral(" N [COMMAND]"));
        if (order == QLatin1String("wait"))
            wire.answerWait(*count, *command);
        else if (order == QLatin1String("error"))
            wire.answerError(*count, *command);
        else
            wire.corruptNext(*count, *command);
    } else if (order == QLatin1String("drop") || order == QLatin1String("corrupt-rate")) {
        const std::optional<double> r = rate(arg);
        if (!r)
            return bad(order + QStringLiteral(" RATE (0..1)"));
        if (order == QLatin1String("drop"))
            wire.setDropRate(*r);
        else
            wire.setCorruptRate(*r);
    } else if (order == QLatin1String("state")) {
        result.answer += QLatin1Char(' ') + core.describe();
    } else if (order == QLatin1String("help")) {
        result.answer += QLatin1Char('\n') + controlHelp();
    } else if (order == QLatin1String("quit")) {
        result.quit = true;
    } else {
        return bad(QStringLiteral("unknown order ") + order + QStringLiteral(" (try help)"));
    }
    return result;
}

} // namespace telmira::phonesim
