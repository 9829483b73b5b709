#include "pdf/file/SlotGrowth.h"

#include <gtest/gtest.h>

#include <vector>

using corvina::detail::GrowSlots;
using corvina::detail::kSlotRun;

namespace {

struct Entry {
    int num = -1;
};

}  // namespace

TEST(SlotGrowth, NumbersOneAtATimeResizeOncePerRun) {
    std::vector<Entry> slots;
    size_t resizes = 0;
    size_t last = 0;
    for (size_t need = 1; need <= 5000; ++need) {
        ASSERT_TRUE(GrowSlots(slots, need));
        ASSERT_GE(slots.size(), need);
        slots[need - 1].num = static_cast<int>(need);
        if (slots.size() != last) ++resizes;
        last = slots.size();
    }
    // One resize per run of slots, not one per number.
    EXPECT_LE(resizes, 5000 / kSlotRun + 16);
    for (size_t i = 0; i < 5000; ++i) EXPECT_EQ(slots[i].num, static_cast<int>(i + 1));
}

TEST(SlotGrowth, SlotsAheadAreEmptyAndStayWithinCapacity) {
    std::vector<Entry> slots;
    ASSERT_TRUE(GrowSlots(slots, 10));
    EXPECT_GE(slots.size(), 10u);
    EXPECT_LE(slots.size(), slots.capacity());
    for (const Entry& e : slots) EXPECT_EQ(e.num, -1);
    // A large need is met exactly: memory past it is not touched.
    std::vector<Entry> big;
    ASSERT_TRUE(GrowSlots(big, 100000, 100));
    EXPECT_EQ(big.capacity(), 100000u);
    EXPECT_EQ(big.size(), 100000u);
    // Growth from there doubles the capacity but fills only one run ahead.
    ASSERT_TRUE(GrowSlots(big, 100001, 100));
    EXPECT_EQ(big.capacity(), 200000u);
    EXPECT_EQ(big.size(), 100001u + kSlotRun);
}

TEST(SlotGrowth, NeverShrinks) {
    std::vector<Entry> slots(50);
    ASSERT_TRUE(GrowSlots(slots, 10));
    EXPECT_EQ(slots.size(), 50u);
}
