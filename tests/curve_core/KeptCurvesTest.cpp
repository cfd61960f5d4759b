// The kept-curve slot rules; the curve editor's menu tests only check that each
// command reaches them.
#include "curve/core/KeptCurves.h"
#include "curve/core/Presets.h"

#include <gtest/gtest.h>

namespace quillon::curve {
namespace {

KeyPoints preset(std::size_t index) { return presetCurves()[index].points; }

TEST(KeptCurves, OnlyKeptSlotsShowAndRestoreAndOneRestoreIsPendingOnce)
{
    KeptCurves slots;
    EXPECT_FALSE(slots.toggleShown(0)) << "an empty slot offers nothing";
    EXPECT_FALSE(slots.requestRestore(0));

    slots.keep(0, preset(0));
    slots.keep(2, preset(9));
    EXPECT_TRUE(slots.isUsable(0));
    EXPECT_FALSE(slots.isUsable(1));
    EXPECT_TRUE(slots.toggleShown(0));
    EXPECT_TRUE(slots.toggleShown(0));
    EXPECT_FALSE(slots.slot(0).shown);

    ASSERT_TRUE(slots.requestRestore(0));
    ASSERT_TRUE(slots.requestRestore(2));
    EXPECT_FALSE(slots.slot(0).restorePending) << "only one slot is pending";
    EXPECT_EQ(slots.takePendingRestore(), preset(9));
    EXPECT_FALSE(slots.takePendingRestore().has_value()) << "a restore applies at one drawing only";

    slots.keep(3, preset(1)); // there is no fourth slot
    EXPECT_FALSE(slots.isUsable(3));
}

TEST(KeptCurves, ADeletionOutlastsKeepNewAndLoadButNotReset)
{
    KeptCurves slots;
    slots.keep(1, preset(2));
    slots.toggleShown(1);
    slots.requestRestore(1);
    ASSERT_TRUE(slots.remove(1));
    EXPECT_FALSE(slots.slot(1).shown);
    EXPECT_FALSE(slots.takePendingRestore().has_value());

    slots.keep(1, preset(4));
    EXPECT_FALSE(slots.isUsable(1));
    EXPECT_FALSE(slots.toggleShown(1));
    EXPECT_FALSE(slots.remove(1));

    slots.clearForLoad();
    slots.clearForNew();
    slots.keep(1, preset(4));
    EXPECT_FALSE(slots.isUsable(1)) << "only a reset clears the deletion";
    slots.reset();
    slots.keep(1, preset(4));
    EXPECT_TRUE(slots.isUsable(1));
}

TEST(KeptCurves, NewDropsThePendingRestoreLoadEmptiesTheSlotsResetClearsAll)
{
    KeptCurves slots;
    slots.keep(0, preset(5));
    slots.keep(1, preset(6));
    slots.toggleShown(0);
    slots.requestRestore(1);

    KeptCurves afterNew = slots;
    afterNew.clearForNew();
    EXPECT_FALSE(afterNew.takePendingRestore().has_value());
    EXPECT_TRUE(afterNew.isUsable(0));
    EXPECT_TRUE(afterNew.slot(0).shown);

    KeptCurves afterLoad = slots;
    afterLoad.clearForLoad();
    KeptCurves afterReset = slots;
    afterReset.reset();
    for (std::size_t i = 0; i < KeptCurves::kSlotCount; ++i) {
        for (const KeptCurves* cleared : {&afterLoad, &afterReset}) {
            const KeptSlot& slot = cleared->slot(i);
            EXPECT_FALSE(slot.kept || slot.shown || slot.restorePending) << "slot " << i;
            EXPECT_EQ(slot.points.x, (std::array<std::int32_t, 7>{}));
        }
    }
}

} // namespace
} // namespace quillon::curve
