#include "tools/phonesim/pty.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace telmira::phonesim {

PseudoTerminal::~PseudoTerminal() {
    if (!linkPath_.isEmpty()) {
        // Remove the link only while it still points at this terminal.
        if (QFile::symLinkTarget(linkPath_) == slavePath_)
            QFile::remove(linkPath_);
    }
    if (slaveKeeper_ >= 0)
        ::close(slaveKeeper_);
    if (master_ >= 0)
        ::close(master_);
}

bool PseudoTerminal::open(const QString& linkPath, QString* error) {
    auto fail = [error](const char* what) {
        if (error)
            *error = QString::fromLatin1(what) + QStringLiteral(": ") +
                     QString::fromLocal8Bit(std::strerror(errno));
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return fail("posix_openpt");
    if (::grantpt(master_) != 0)
        return fail("grantpt");
    if (::unlockpt(master_) != 0)
        return fail("unlockpt");
    const char* name = ::ptsname(master_);
    if (!name)
        return fail("ptsname");
    slavePath_ = QString::fromLocal8Bit(name);
    slaveKeeper_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slaveKeeper_ < 0)
        return fail("open slave");
    termios raw{};
    if (::tcgetattr(slaveKeeper_, &raw) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&raw);
    if (::tcsetattr(slaveKeeper_, TCSANOW, &raw) != 0)
        return fail("tcsetattr");
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    if (!linkPath.isEmpty()) {
        QFile::remove(linkPath);
        if (!QFile::link(slavePath_, linkPath)) {
            if (error)
                *error = QStringLiteral("cannot create the link ") + linkPath;
            return false;
        }
        linkPath_ = linkPath;
    }
    return true;
}

} // namespace telmira::phonesim
