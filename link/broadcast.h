#pragma once

#include "link/dispatch.h"

#include <QDBusConnection>

#include <optional>

// The broadcast of every caller or dialled number on the session bus: the signal
// NumberReceived(s) of interface "org.telmira.Zel", sent from the object "/Telmira/Incoming"
// for an incoming call (event 61) and "/Telmira/Dialled" for a number dialled on the phone
// (event 60). The argument is the number as far as the broadcast carries it (14 characters).
namespace telmira::link {

inline constexpr const char* kBroadcastInterface = "org.telmira.Zel";
inline constexpr const char* kBroadcastSignal = "NumberReceived";
inline constexpr const char* kIncomingPath = "/Telmira/Incoming";
inline constexpr const char* kDialledPath = "/Telmira/Dialled";

class DBusNumberBroadcaster : public NumberBroadcaster {
public:
    // On the session bus; sends nothing when none exists.
    DBusNumberBroadcaster() = default;
    // On another bus (the tests run a private one).
    explicit DBusNumberBroadcaster(const QDBusConnection& bus) : bus_(bus) {}
    void broadcast(const QString& number, bool dialled) override;

private:
    std::optional<QDBusConnection> bus_;
};

} // namespace telmira::link
