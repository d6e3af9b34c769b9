#pragma once

#include "link/linkevents.h"
#include "link/linkline.h"
#include "link/linkshared.h"
#include "link/protocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

// The link's poll cycle: probe, queued commands, idle polls, event filtering, clock setting,
// traces. It runs on the link thread (TCommThread) one cycle at a time and is driven directly by
// the tests, which hand it a scripted environment.
namespace telmira::link {

class LinkEngine {
public:
    LinkEngine(LinkShared& shared, LinkEnvironment& environment, LinkSink& sink);
    ~LinkEngine();
    LinkEngine(const LinkEngine&) = delete;
    LinkEngine& operator=(const LinkEngine&) = delete;

    // One poll cycle: the probe while not connected, else one exchange (and the clock).
    void RunCycle();
    // Closes the open port (at the end of the thread).
    void ClosePort();

    // Countdowns, for the tests and the debug display.
    int probeCountdown() const { return probeCountdown_; }
    int retryCountdown() const { return retryCountdown_; }
    int linkCountdown() const { return linkCountdown_; }
    int waitCountdown() const { return waitCountdown_; }
    int searchIndex() const { return searchIndex_; }

    static constexpr int kProbeCountdown = 10;
    static constexpr int kRetryCountdown = 10;
    static constexpr int kWaitCountdown = 300;
    static constexpr qint64 kClockInterval = 1800000;

private:
    struct ReadResult {
        int error = 0;
        QByteArray bytes;
    };
    struct Reply {
        std::uint8_t status = kStatusIncomplete;
        ItemList items;
    };

    bool ProbePhone();
    void SetLinkState(bool connected);
    bool OpenPort(const QString& portName);
    bool CommandSend(std::uint8_t command, const QByteArray& parameters);
    bool WriteFrame(const QByteArray& frame);
    ReadResult ReadBytes(int count, bool waiting);
    Reply ReadCommandReply(bool waiting);
    void FilterEvents(ItemList& items);
    void SynchronizeClock();
    void RunConnectedCycle();

    int initialLinkCountdown() const;
    void resetCountdowns();
    // A trace line; during an idle poll it joins the deferred trace unless pings are shown.
    void Trace(const QString& text, const QString& deferredForm = QString());
    void postText(LinkEventType type, const QString& text);
    void postReply(const QByteArray& buffer);

    LinkShared& shared_;
    LinkEnvironment& environment_;
    LinkSink& sink_;
    std::unique_ptr<LinkLine> line_;

    QStringList systemPorts_;
    int searchIndex_ = -1;
    bool midnightNoticeSent_ = false;
    bool idlePoll_ = false;
    QString deferredTrace_;
    std::optional<qint64> lastClockSet_;
    int probeCountdown_ = kProbeCountdown;
    int retryCountdown_ = kRetryCountdown;
    int linkCountdown_ = 3;
    int waitCountdown_ = kWaitCountdown;
    std::uint8_t lastName_ = kNameNoAddressee;
    std::uint8_t lastCommand_ = 0;
};

} // namespace telmira::link
