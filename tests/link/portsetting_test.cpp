// The one rule for the Common.ComPort setting, and the port lister that the link, the settings
// dialog and the start share.
#include "link/portsetting.h"
#include "tests/common/testpaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

using namespace telmira::link;
using telmira::test::TempDir;
using telmira::test::writeFile;

namespace {

QString str(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// A pseudo-terminal: the character device a phone simulator stands on.
class Pty {
public:
    Pty() : master_(::posix_openpt(O_RDWR | O_NOCTTY)) {
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
            path_ = QString::fromLocal8Bit(::ptsname(master_));
    }
    ~Pty() {
        if (master_ >= 0)
            ::close(master_);
    }
    const QString& path() const { return path_; }

private:
    int master_;
    QString path_;
};

TEST(PortSetting, ListedNameOrCharacterDevicePathElseAutomaticSearch) {
    TempDir dir;
    writeFile(dir / "plain", "");
    const Pty pty;
    ASSERT_FALSE(pty.path().isEmpty());
    const QStringList listed = {"ttyUSB0", "ttyS0"};
    const PortSetting automatic;
    struct Case {
        QString setting;
        PortSetting expected;
    };
    const Case cases[] = {
        {"ttyUSB0", {"ttyUSB0", false}},
        {"ttyS0", {"ttyS0", false}},
        {"ttyACM0", automatic}, // not listed
        {"ttyusb0", automatic}, // names are case-sensitive
        {"COM3", automatic},
        {"", automatic},
        {kAutomaticPortSetting, automatic},
        {pty.path(), {pty.path(), false}},
        {"/dev/null", {"/dev/null", false}},
        {"/dev/ttyNoSuchPort", automatic},
        {"dev/null", automatic},         // not absolute
        {str(dir / "plain"), automatic}, // a file, not a device
        {str(dir.dir()), automatic},     // a folder
    };
    for (const Case& c : cases) {
        const PortSetting got = ResolvePortSetting(c.setting, listed);
        EXPECT_EQ(got.portName, c.expected.portName) << c.setting.toStdString();
        EXPECT_EQ(got.automaticSearch, c.expected.automaticSearch) << c.setting.toStdString();
    }
}

TEST(PortSetting, TheListerAddsAConfiguredDeviceOnly) {
    TempDir dir;
    writeFile(dir / "plain", "");
    const Pty pty;
    ASSERT_FALSE(pty.path().isEmpty());
    EXPECT_EQ(ListPorts(pty.path()).count(pty.path()), 1);
    EXPECT_FALSE(ListPorts(str(dir / "plain")).contains(str(dir / "plain")));
    EXPECT_FALSE(ListPorts(str(dir.dir())).contains(str(dir.dir())));
    EXPECT_FALSE(ListPorts(kAutomaticPortSetting).contains(kAutomaticPortSetting));
    // The system's list: a pseudo-terminal that the system does not list still names its port.
    EXPECT_EQ(ResolvePortSetting(pty.path()), (PortSetting{pty.path(), false}));
    EXPECT_TRUE(ResolvePortSetting(str(dir / "plain")).automaticSearch);
}

} // namespace
