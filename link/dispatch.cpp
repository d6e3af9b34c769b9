#include "link/dispatch.h"

#include "frame/records.h"
#include "link/catalogue.h"
#include "link/numbercodes.h"

namespace telmira::link {
namespace {
constexpr int kFlagsWhileAnsweringMachineBusy = 32792; // FL_BUSY, FL_AUTO, FL_AUTO_RECORD
} // namespace

DispatchHost::~DispatchHost() = default;
NumberBroadcaster::~NumberBroadcaster() = default;

ReplyAddressee* DispatchHost::openTool(int) {
    return nullptr;
}
ReplyAddressee* DispatchHost::phonePanel() {
    return nullptr;
}
ReplyAddressee* DispatchHost::archiveHandler() {
    return nullptr;
}

ReplyDispatcher::ReplyDispatcher(LinkShared& link, DispatchHost& host,
                                 NumberBroadcaster* broadcaster)
    : link_(link), host_(host), broadcaster_(broadcaster) {}

bool ReplyDispatcher::queue(int name, int command, const QByteArray& parameters, int flags,
                            int skip) {
    return link_.AppendCommand(CommandRecord{name, command, parameters, flags, skip});
}

void ReplyDispatcher::Dispatch(const QByteArray& received) {
    if (received.size() <= 1)
        return;
    QByteArray buffer = received;
    int name = static_cast<std::uint8_t>(buffer.back());
    const int command = static_cast<std::uint8_t>(buffer.at(buffer.size() - 2));
    if (name != kNamePhoneBookTool)
        buffer.chop(std::min<qsizetype>(3, buffer.size()));
    if (!buffer.isEmpty() && static_cast<std::uint8_t>(buffer.front()) == kItemPhoneBook)
        name = kNamePhoneBookTool;

    switch (name) {
    case kNameDayChange:
        host_.dayChanged();
        break;
    case kNameNoAddressee:
        handleEvents(buffer);
        break;
    case kNamePhonePanel:
        if (ReplyAddressee* panel = host_.phonePanel())
            panel->CommandReply(buffer);
        if (command == kReadSettings) {
            for (int tool : {kNamePhoneSettingsTool, kNameAutoSettingsTool})
                if (ReplyAddressee* addressee = host_.openTool(tool))
                    addressee->CommandReply(buffer);
        }
        break;
    case kNameArchives:
        if (buffer.isEmpty())
            break;
        if (link_.featureLevel.load() == 0 && command == kReadArchive &&
            (link_.status0.load() & (FL_AUTO | FL_AUTO_RECORD)) == 0 &&
            (link_.status1.load() & FL_BUSY) == 0)
            queue(kNameArchives, kReadArchive, QByteArray(1, '\x01'));
        if (ReplyAddressee* archive = host_.archiveHandler())
            archive->CommandReply(buffer);
        break;
    default:
        if (ReplyAddressee* tool = host_.openTool(name)) {
            if (name == kNameLayoutTool && command == kReadKeyMatrix)
                host_.clearActiveLayoutMatrix();
            tool->CommandReply(buffer);
        }
        break;
    }
}

void ReplyDispatcher::handleEvents(const QByteArray& buffer) {
    const ItemList items = bufferItems(buffer);
    if (items.isEmpty())
        return;
    const Item& item = items.first();
    switch (item.code) {
    case kItemAutoDialCheck:
        host_.checkAutoDialList();
        break;
    case kItemAlarm:
        host_.openAlarmForm(buffer);
        break;
    case kItemDialled:
    case kItemIncoming:
        handleNumber(item);
        break;
    case kItemStatus1:
        if (!item.data.isEmpty())
            host_.showStatus1(static_cast<std::uint8_t>(item.data[0] ^ 0x80));
        break;
    case kItemStatus0:
        if (!item.data.isEmpty() && link_.connected.load())
            handleStatus0(static_cast<std::uint8_t>(item.data[0]));
        break;
    default:
        break;
    }
}

void ReplyDispatcher::handleNumber(const Item& item) {
    const QString number = decodeEventNumber(item.data);
    const bool dialled = item.code == kItemDialled;
    if (dialled) {
        const bool inCall = (link_.status1.load() & (FL_TUBE | FL_HFREE | FL_560)) != 0;
        if (number == lastDialled_ && !inCall)
            return;
        lastDialled_ = number;
    }
    if (broadcaster_)
        broadcaster_->broadcast(number, dialled);
    host_.showNumber(NumberEvent{number, dialled});
}

void ReplyDispatcher::handleStatus0(std::uint8_t status0) {
    const std::uint8_t status1 = link_.status1.load();
    const bool clockSetting = link_.clockSettingRunning.load();
    const bool machineBusy = (status0 & (FL_AUTO | FL_AUTO_RECORD)) != 0;
    const bool phoneBusy = (status1 & FL_BUSY) != 0;
    const int f = link_.featureLevel.load() != 0 ? 2 : 0;

    // New archive records.
    if (!machineBusy && !phoneBusy && (status0 & FL_ARCHIVE) && !clockSetting)
        queue(kNameArchives, kReadNewArchive);

    // Variables changed in the phone.
    if ((status0 & FL_VARIABLES) && !clockSetting)
        host_.rereadVariables();

    // Answering machine refresh.
    if (link_.answeringMachine.load() &&
        (link_.answeringMachineRefresh.load() || (status0 & FL_AUTO_CHANGE)) && !clockSetting &&
        !phoneBusy && !machineBusy) {
        link_.answeringMachineRefresh = false;
        ReplyAddressee* panel = host_.phonePanel();
        if (panel && host_.beginAnsweringMachineSummary()) {
            queue(kNamePhonePanel, kSelectMessage, QByteArray(1, '\x0A'),
                  kFlagsWhileAnsweringMachineBusy, 1);
            queue(kNamePhonePanel, kReportMessageLength);
        }
        if (panel)
            queue(kNamePhonePanel, kAnsweringMachineService, QByteArray(1, '\x0A'));
        host_.clearAnsweringMachineList();
        queue(kNameArchives, kReadArchive, QByteArray(1, static_cast<char>(f)));
    }

    if (host_.phonePanel())
        host_.showStatus0(previousStatus0_, status0);
    if ((previousStatus0_ & FL_DOT) && !(status0 & FL_DOT))
        host_.clearNewCallMarks();
    previousStatus0_ = status0;
}

QString DialString(const QString& number, const DialSettings& settings,
                   const NumberSplitter& split) {
    QString text = number.trimmed();
    const bool star = text.startsWith(QLatin1Char('*'));
    if (star)
        text.remove(0, 1);
    const NumberParts parts = split ? split(text) : NumberParts{{}, {}, text, {}};
    const QString country = parts.country.trimmed();
    const QString city = parts.city.trimmed();
    const bool home = (country.isEmpty() && city.isEmpty()) ||
                      (country == settings.homeCountry && city == settings.homeCity);
    QString prefix;
    if (!home) {
        // A number without a country is one of the home country.
        if (!country.isEmpty() && country != settings.homeCountry)
            prefix = settings.internationalPrefix + country;
        else
            prefix = settings.longDistancePrefix;
        prefix += city;
    }
    QString dial = (star ? QStringLiteral("t") : QString()) + prefix + parts.local;
    if (!parts.extension.isEmpty())
        dial += QStringLiteral("t") + parts.extension;
    return dial;
}

bool DialNumber(LinkShared& link, const QString& number, int name, const DialSettings& settings,
                const NumberSplitter& split) {
    if (!link.connected.load() || number.trimmed().isEmpty())
        return false;
    const QString dial = DialString(number, settings, split);
    QByteArray parameters(1, static_cast<char>(kWriteDial));
    parameters += numberCodes(dial);
    return link.AppendCommand(CommandRecord{name, kWriteBlock, parameters, -1, 0});
}

QString LinkStateHint(bool connected, const QString& phoneName, const QString& portName) {
    if (!connected)
        return QStringLiteral("Связь с телефоном отсутствует|");
    return QStringLiteral("Связь с телефоном ") + phoneName + QStringLiteral("\r\n") +
           QStringLiteral("установлена через ") + portName + QStringLiteral("|");
}

QString TestConnectLinkText(bool connected, const QString& phoneName, const QString& portName) {
    if (!connected)
        return QStringLiteral("Связь с телефоном отсутствует");
    return QStringLiteral("Связь с телефоном ") + phoneName + QStringLiteral("\r\n") +
           QStringLiteral(" установлена через ") + portName;
}

QString PhoneNameForModel(const QStringList& projectDefs, int modelCode) {
    return LookupField(projectDefs, QStringLiteral("Code"), QString::number(modelCode), QString(),
                       QStringLiteral("Name"));
}

} // namespace telmira::link
