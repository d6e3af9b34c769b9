#pragma once

#include <QString>

// A pseudo-terminal for the simulated phone: the simulator works the master side, the link
// opens the slave path as its serial port.
namespace telmira::phonesim {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Creates the terminal in raw mode (no echo, no line editing) and keeps a slave descriptor
    // open, so that the master never sees a hang-up while the link reopens the port. With a
    // link path, a symbolic link there points at the slave (replacing an old one), so a
    // restarted simulator is found under the same name. False with `error` on failure.
    bool open(const QString& linkPath, QString* error);

    int master() const { return master_; }
    const QString& slavePath() const { return slavePath_; }

private:
    int master_ = -1;
    int slaveKeeper_ = -1;
    QString slavePath_;
    QString linkPath_;
};

} // namespace telmira::phonesim
