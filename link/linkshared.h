#pragma once

#include "link/commandrecord.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QWaitCondition>

#include <atomic>
#include <cstdint>

// What the window thread and the link thread share. The command queue, the port setting, the
// stop request and the wake-up are guarded by one lock; every single queue operation takes it.
// The status bytes and flags are single values the other thread reads without the lock (a
// stale value only delays a reaction by one cycle).
namespace telmira::link {

// The "Выводить пинги" box of the debug window: how idle-poll trace lines are posted.
enum class PingTrace { Hidden, Shown, WhenData };

class LinkShared {
public:
    // Command queue (oldest first).
    // Appends a record in the application's form; false when it cannot travel (see
    // commandRecordText).
    bool AppendCommand(const CommandRecord& record);
    void AppendRecord(const QString& record);
    int Count() const;
    QStringList Records() const;
    // Removes the record at `index` when it still is `record` (only the link removes records,
    // but the index is checked all the same).
    bool RemoveRecord(int index, const QString& record);
    void ClearQueue();

    // Port setting: a port name (QSerialPortInfo name or absolute device path) or automatic
    // search. Changed by the settings dialog; the link writes the port it searched.
    void SetPortSetting(const QString& portName, bool automaticSearch);
    QString PortName() const;
    bool AutomaticSearch() const;
    void SetSearchedPort(const QString& portName);

    // Thread control.
    void RequestStop();
    bool StopRequested() const;
    // Wakes the link thread when it waits for the next cycle (a wake-up during a cycle is lost,
    // as the poll timer's next tick brings the next one).
    void Wake();
    // Waits until woken or stopped; returns false when stopped.
    bool WaitForWake();

    // Set by the window thread, read by the link.
    std::atomic<bool> clockSynchronize{false};
    std::atomic<bool> clearRequest{false};
    std::atomic<bool> linkDownRequest{false}; // port changed to a fixed one, standby
    std::atomic<bool> traceWindowOpen{false}; // the debug window exists
    std::atomic<bool> testConnectMode{false};
    std::atomic<PingTrace> pingTrace{PingTrace::Hidden};
    std::atomic<bool> matrixInteractive{false}; // interactive layout button down and mode on
    std::atomic<bool> phoneBookErasing{false};  // phone-book tool in a transfer (erase running)
    std::atomic<bool> transferProgressShown{false};
    // Process-wide answering-machine refresh flag: set by every successful probe and by the
    // phone panel's creation, cleared once the answering machine's state was asked for.
    std::atomic<bool> answeringMachineRefresh{false};

    // Set by the link, read by the window thread.
    std::atomic<bool> connected{false};
    std::atomic<std::uint8_t> status0{0};
    std::atomic<std::uint8_t> status1{0};
    std::atomic<int> modelCode{0};
    std::atomic<std::uint8_t> featureLevel{0};
    std::atomic<bool> answeringMachine{false};
    std::atomic<bool> phoneBusy{false};
    std::atomic<bool> clockSettingRunning{false};

    // Status0 + 256 x Status1.
    int StateWord() const { return status0.load() | (status1.load() << 8); }
    // Trace text is posted only while the debug window is open or in test-connect mode.
    bool TracePosting() const { return traceWindowOpen.load() || testConnectMode.load(); }

private:
    mutable QMutex mutex_;
    QWaitCondition wake_;
    QStringList queue_;
    QString portName_;
    bool automaticSearch_ = false;
    bool stop_ = false;
    bool waiting_ = false;
    bool woken_ = false;
};

} // namespace telmira::link
