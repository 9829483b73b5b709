#include "pdf/object/TempArray.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

// The growth-failure tests ask for more memory than any allocator gives; under
// AddressSanitizer that must come back as null, as it does from malloc.
#ifdef __SANITIZE_ADDRESS__
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}
#endif

namespace corvina {
namespace {

// Slots large enough that a request near INT_MAX slots is petabytes.
struct Slot {
    char bytes[1 << 20];
};

// Counts the releases, as CPDFArray destroys the atoms its slots own.
class Slots : public TempArray<Slot> {
public:
    Slots() {
        releaseFn_ = [](Slot*) { ++released; };
    }
    int Capacity() const { return capacity_; }
    static inline int released = 0;
};

Slot Marked(char c) {
    Slot s;
    std::memset(s.bytes, c, sizeof s.bytes);
    return s;
}

void ExpectItems(Slots& a, const char* marks) {
    ASSERT_EQ(a.Count(), static_cast<int>(std::strlen(marks)));
    for (int i = 0; marks[i]; ++i) {
        EXPECT_EQ(a.At(i).bytes[0], marks[i]) << i;
        EXPECT_EQ(a.At(i).bytes[sizeof(Slot) - 1], marks[i]) << i;
    }
}

TEST(TempArray, FailedGrowthLeavesTheArrayAsItWas) {
    Slots::released = 0;
    {
        Slots a;
        ASSERT_TRUE(a.Push_Back(Marked('a')));
        ASSERT_TRUE(a.Push_Back(Marked('b')));
        ASSERT_TRUE(a.Push_Back(Marked('c')));
        const int capacity = a.Capacity();
        for (int n : {INT_MAX / 2, INT_MAX - 5, INT_MAX}) {
            EXPECT_FALSE(a.Reserve(n)) << n;
            EXPECT_EQ(a.Capacity(), capacity);
            ExpectItems(a, "abc");
            EXPECT_EQ(Slots::released, 0);
        }
        // Still fully usable afterwards.
        ASSERT_TRUE(a.Push_Back(Marked('d')));
        ExpectItems(a, "abcd");
    }
    EXPECT_EQ(Slots::released, 4);  // each member exactly once, at the end
}

TEST(TempArray, GrowthSizeCannotWrap) {
    Slots a;
    EXPECT_EQ(a.NewSize(25), 30);
    EXPECT_EQ(a.NewSize(2147483640), 2147483640);
    // Rounding up to the next multiple of 10 would pass INT_MAX.
    EXPECT_EQ(a.NewSize(INT_MAX - 5), INT_MAX - 5);
    EXPECT_EQ(a.NewSize(INT_MAX), INT_MAX);
    EXPECT_EQ(a.NewSize(0), 0);
}

}  // namespace
}  // namespace corvina
