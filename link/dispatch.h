#pragma once

#include "frame/replyaddressee.h"
#include "link/linkshared.h"
#include "link/protocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

// The window thread's side of the link: reply buffers (event 1109) unpacked and routed by their
// `Name` byte to the window or tool they belong to, the phone's events (numbers, status bytes,
// alarms) turned into decisions, dialling, and the texts that show the link's state. Widgets
// implement the two interfaces below; every decision here runs without a display.
namespace telmira::link {

// An addressee of reply buffers: each tool tab, the phone panel and the archive reply handler
// (declared in the frame, whose tool tabs implement it).
using telmira::ReplyAddressee;

// A number event after the dispatch took it (event 61 always, event 60 unless it repeats).
struct NumberEvent {
    QString number;
    bool dialled = false; // event 60 (dialled on the phone), else 61 (incoming call)
};

// What the dispatch asks of the main window. The defaults do nothing (no such window).
class DispatchHost {
public:
    virtual ~DispatchHost();
    // The open tool for `name` (0, 1, 2, 3 or 10); nullptr when it is not open.
    virtual ReplyAddressee* openTool(int name);
    virtual ReplyAddressee* phonePanel();
    // The archive reply handler exists whether the archive tool is open or not.
    virtual ReplyAddressee* archiveHandler();
    // Name 0 with command 9: an import from the phone begins.
    virtual void clearActiveLayoutMatrix() {}
    // Name 6: the day changed (the archive tool re-applies its period filter).
    virtual void dayChanged() {}
    // Event 59.
    virtual void openAlarmForm(const QByteArray& buffer) { (void)buffer; }
    // Item 12: the panel checks its automatic-dialling list.
    virtual void checkAutoDialList() {}
    // Events 60 and 61 once taken and broadcast: split, show, look up, pop up.
    virtual void showNumber(const NumberEvent& event) { (void)event; }
    // Event 62 with the Status1 value (top bit as the link keeps it): the panel's display.
    virtual void showStatus1(std::uint8_t status1) { (void)status1; }
    // Event 63, FL_VARIABLES: the panel re-reads its variables, else the phone settings tool.
    virtual void rereadVariables() {}
    // Event 63, answering-machine refresh: when the panel exists and is idle it marks itself as
    // reading the answering machine's summary and says so.
    virtual bool beginAnsweringMachineSummary() { return false; }
    // Event 63, answering-machine refresh: the archive's answering-machine message list empties.
    virtual void clearAnsweringMachineList() {}
    // Event 63 with the panel present: answering-machine and handset-loudness display.
    virtual void showStatus0(std::uint8_t previous, std::uint8_t current) {
        (void)previous;
        (void)current;
    }
    // Event 63, FL_DOT went from set to clear: the new-call marks are cleared when one is on.
    virtual void clearNewCallMarks() {}
};

// The outward broadcast of every processed number (D-Bus signal NumberReceived(s)).
class NumberBroadcaster {
public:
    virtual ~NumberBroadcaster();
    virtual void broadcast(const QString& number, bool dialled) = 0;
};

class ReplyDispatcher {
public:
    // `broadcaster` may be null (no broadcast).
    ReplyDispatcher(LinkShared& link, DispatchHost& host, NumberBroadcaster* broadcaster);

    // Reply dispatch (event 1109). A buffer of one byte or less is ignored.
    void Dispatch(const QByteArray& buffer);

    // The last dialled number, kept to suppress repeats of event 60; the caller window clears it
    // 30 seconds after it closes.
    const QString& lastDialledNumber() const { return lastDialled_; }
    void clearLastDialledNumber() { lastDialled_.clear(); }

private:
    void handleEvents(const QByteArray& items);
    void handleNumber(const Item& item);
    void handleStatus0(std::uint8_t value);
    bool queue(int name, int command, const QByteArray& parameters = {}, int flags = -1,
               int skip = 0);

    LinkShared& link_;
    DispatchHost& host_;
    NumberBroadcaster* broadcaster_;
    QString lastDialled_;
    std::uint8_t previousStatus0_ = 0;
};

// Dialling a number (`DialNumber`).
struct NumberParts {
    QString country;
    QString city;
    QString local;
    QString extension;
};
// Splits a number into its parts against the home country and city (SplitNumber of the
// number module).
using NumberSplitter = std::function<NumberParts(const QString& number)>;
struct DialSettings {
    QString homeCountry;
    QString homeCity;
    QString internationalPrefix;
    QString longDistancePrefix;
};
// The dial string: "t" when the number began with "*", the prefix (none for a number of the
// home city; the international prefix and the country for another country, else the
// long-distance prefix; then the city code), the local number, and "t" + the extension.
QString DialString(const QString& number, const DialSettings& settings,
                   const NumberSplitter& split);
// Queues (Name `name`, Command 32, Parameters $A2 + one code per dial character). Does nothing
// (false) while the link is down, for a blank number, or when the dial string is too long to
// travel (more than 254 characters).
bool DialNumber(LinkShared& link, const QString& number, int name, const DialSettings& settings,
                const NumberSplitter& split);

// The link-state texts of the main window's connection button ("...|" hints) and of the
// connection-test window.
QString LinkStateHint(bool connected, const QString& phoneName, const QString& portName);
QString TestConnectLinkText(bool connected, const QString& phoneName, const QString& portName);
// The `Name` of the phone description (`ProjectDefs` records) whose `Code` is the model code.
QString PhoneNameForModel(const QStringList& projectDefs, int modelCode);

} // namespace telmira::link
