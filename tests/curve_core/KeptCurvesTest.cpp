#include "curve/core/KeptCurves.h"
#include "curve/core/Presets.h"

#include <gtest/gtest.h>

namespace quillon::curve {
namespace {

KeyPoints preset(std::size_t index) { return presetCurves()[index].points; }

TEST(KeptCurves, KeepShowAndRestoreOnUsableSlots)
{
    KeptCurves slots;
    EXPECT_FALSE(slots.isUsable(0));
    EXPECT_FALSE(slots.toggleShown(0)) << "an empty slot offers nothing";
    EXPECT_FALSE(slots.requestRestore(0));

    slots.keep(0, preset(0));
    slots.keep(2, preset(9));
    EXPECT_TRUE(slots.isUsable(0));
    EXPECT_FALSE(slots.isUsable(1));
    EXPECT_EQ(slots.slot(2).points, preset(9));

    EXPECT_TRUE(slots.toggleShown(0));
    EXPECT_TRUE(slots.slot(0).shown);
    EXPECT_TRUE(slots.toggleShown(0));
    EXPECT_FALSE(slots.slot(0).shown);

    EXPECT_FALSE(slots.takePendingRestore().has_value()) << "nothing pending yet";
    ASSERT_TRUE(slots.requestRestore(0));
    ASSERT_TRUE(slots.requestRestore(2));
    EXPECT_FALSE(slots.slot(0).restorePending) << "only one slot is pending";
    EXPECT_EQ(slots.takePendingRestore(), preset(9));
    EXPECT_FALSE(slots.takePendingRestore().has_value()) << "a restore applies at one drawing only";

    slots.keep(3, preset(1)); // there is no fourth slot
    EXPECT_FALSE(slots.isUsable(3));
}

TEST(KeptCurves, DeletedSlotStaysUnusableAfterKeepUntilReset)
{
    KeptCurves slots;
    slots.keep(1, preset(2));
    slots.toggleShown(1);
    slots.requestRestore(1);
    ASSERT_TRUE(slots.remove(1));
    const KeptSlot& slot = slots.slot(1);
    EXPECT_TRUE(slot.deleted);
    EXPECT_FALSE(slot.kept);
    EXPECT_FALSE(slot.shown);
    EXPECT_FALSE(slot.restorePending);
    EXPECT_FALSE(slots.takePendingRestore().has_value());

    slots.keep(1, preset(4));
    EXPECT_TRUE(slots.slot(1).kept);
    EXPECT_EQ(slots.slot(1).points, preset(4));
    EXPECT_FALSE(slots.isUsable(1));
    EXPECT_FALSE(slots.toggleShown(1));
    EXPECT_FALSE(slots.requestRestore(1));
    EXPECT_FALSE(slots.remove(1));
    EXPECT_FALSE(slots.slot(1).shown);

    slots.clearForLoad();
    slots.clearForNew();
    slots.keep(1, preset(4));
    EXPECT_FALSE(slots.isUsable(1)) << "only a reset clears the deletion";

    slots.reset();
    EXPECT_FALSE(slots.slot(1).deleted);
    slots.keep(1, preset(4));
    EXPECT_TRUE(slots.isUsable(1));
}

TEST(KeptCurves, LoadEmptiesSlotsNewDropsPendingRestoreResetClearsAll)
{
    KeptCurves slots;
    slots.keep(0, preset(5));
    slots.keep(1, preset(6));
    slots.keep(2, preset(7));
    slots.toggleShown(0);
    slots.remove(2);
    slots.requestRestore(1);

    KeptCurves afterNew = slots;
    afterNew.clearForNew();
    EXPECT_FALSE(afterNew.takePendingRestore().has_value());
    EXPECT_TRUE(afterNew.isUsable(0));
    EXPECT_TRUE(afterNew.slot(0).shown);

    KeptCurves afterLoad = slots;
    afterLoad.clearForLoad();
    for (std::size_t i = 0; i < KeptCurves::kSlotCount; ++i) {
        EXPECT_FALSE(afterLoad.isUsable(i));
        EXPECT_FALSE(afterLoad.slot(i).shown);
        EXPECT_FALSE(afterLoad.slot(i).restorePending);
        EXPECT_EQ(afterLoad.slot(i).points.x, (std::array<std::int32_t, 7>{}));
    }
    EXPECT_TRUE(afterLoad.slot(2).deleted) << "a load keeps deletion marks";

    KeptCurves afterReset = slots;
    afterReset.reset();
    for (std::size_t i = 0; i < KeptCurves::kSlotCount; ++i) {
        const KeptSlot& slot = afterReset.slot(i);
        EXPECT_FALSE(slot.kept || slot.shown || slot.deleted || slot.restorePending) << "slot " << i;
        EXPECT_EQ(slot.points.x, (std::array<std::int32_t, 7>{}));
    }
}

} // namespace
} // namespace quillon::curve
