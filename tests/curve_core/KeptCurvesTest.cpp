// The kept-curve slot rules; the curve editor's menu tests only check that each
// command reaches them.
#include "curve/core/KeptCurves.h"
#include "curve/core/Presets.h"

#include <gtest/gtest.h>

namespace quillon::curve {
namespace {

KeyPoints preset(std::size_t index) { return presetCurves()[index].points; }

TEST(KeptCurves, OnlyKeptSlotsShowAndRestoreOneRestoreIsPendingOnceAndADeletionOutlastsAllButReset)
{
    KeptCurves slots;
    EXPECT_FALSE(slots.toggleShown(0)) << "an empty slot offers nothing";
    slots.keep(0, preset(0));
    slots.keep(2, preset(9));
    EXPECT_TRUE(slots.toggleShown(0));
    ASSERT_TRUE(slots.requestRestore(0));
    ASSERT_TRUE(slots.requestRestore(2));
    EXPECT_FALSE(slots.slot(0).restorePending) << "only one slot is pending";
    EXPECT_EQ(slots.takePendingRestore(), preset(9));
    EXPECT_FALSE(slots.takePendingRestore().has_value()) << "a restore applies at one drawing only";

    KeptCurves afterNew = slots; // New drops a pending restore only
    afterNew.requestRestore(2);
    afterNew.clearForNew();
    EXPECT_FALSE(afterNew.takePendingRestore().has_value());
    EXPECT_TRUE(afterNew.slot(0).shown);
    slots.clearForLoad();
    EXPECT_FALSE(slots.isUsable(0) || slots.isUsable(2));

    // A deletion outlasts keep, New and Load, but not a reset.
    slots.keep(1, preset(2));
    slots.toggleShown(1);
    ASSERT_TRUE(slots.remove(1));
    EXPECT_FALSE(slots.slot(1).shown);
    slots.clearForLoad();
    slots.clearForNew();
    slots.keep(1, preset(4));
    EXPECT_FALSE(slots.isUsable(1)) << "only a reset clears the deletion";
    EXPECT_FALSE(slots.remove(1));
    slots.reset();
    slots.keep(1, preset(4));
    EXPECT_TRUE(slots.isUsable(1));
}

} // namespace
} // namespace quillon::curve
