// TMyControl: three flashes, a phase change every 150 ms, and flashing stopped at once.
#include "gui/frame/mycontrol.h"
#include "tests/common/windowfixture.h"

#include <gtest/gtest.h>

#include <QTest>

using namespace telmira;

namespace {

class Key : public TMyControl {
public:
    using TMyControl::TMyControl;
    void Refresh() override {
        phases << FlashPhase();
        TMyControl::Refresh();
    }
    QList<bool> phases;
};

TEST(MyControl, FlashesThreeTimesThenRests) {
    telmira::test::ensureApplication<QApplication>();
    Key key;
    key.SetFlashing(true);
    EXPECT_TRUE(key.Flashing());
    EXPECT_EQ(key.FlashCount(), 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !key.Flashing(); }, 5000));
    EXPECT_EQ(key.FlashCount(), 0);
    EXPECT_FALSE(key.FlashPhase());
    // The start, then on and off three times.
    EXPECT_EQ(key.phases, (QList<bool>{false, true, false, true, false, true, false}));
    QTest::qWait(3 * TMyControl::kFlashIntervalMs);
    EXPECT_EQ(key.phases.size(), 7);

    key.SetFlashing(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return key.FlashPhase(); }, 5000));
    key.SetFlashing(false);
    EXPECT_FALSE(key.Flashing());
    EXPECT_FALSE(key.FlashPhase());
    EXPECT_EQ(key.FlashCount(), 0);

    Key still(nullptr, false); // without a flash timer it never flashes
    still.SetFlashing(true);
    EXPECT_FALSE(still.Flashing());
}

} // namespace
