#include "pdf/object/SmallBlockPool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFName.h"

using corvina::CPDFDict;
using corvina::CPDFName;
using corvina::detail::SmallBlockPool;

TEST(SmallBlockPool, FreedBlocksServeTheirSizeClassAgain) {
    if (!SmallBlockPool::Enabled()) GTEST_SKIP() << "pooling is off under the sanitizer";
    // 17 to 32 bytes share a class: a block freed at one size serves another.
    void* a = SmallBlockPool::Allocate(20);
    ASSERT_NE(a, nullptr);
    std::memset(a, 'x', 32);  // the whole class size is usable
    const int before = SmallBlockPool::Kept(20);
    SmallBlockPool::Free(a, 20);
    EXPECT_EQ(SmallBlockPool::Kept(32), before + 1);
    EXPECT_EQ(SmallBlockPool::Allocate(32), a);
    EXPECT_EQ(SmallBlockPool::Kept(17), before);
    // Another class does not take it.
    SmallBlockPool::Free(a, 30);
    void* b = SmallBlockPool::Allocate(33);
    EXPECT_NE(b, a);
    SmallBlockPool::Free(b, 33);
}

TEST(SmallBlockPool, KeepsABoundedNumberAndLeavesLargeBlocksToMalloc) {
    if (!SmallBlockPool::Enabled()) GTEST_SKIP() << "pooling is off under the sanitizer";
    const size_t size = 100;
    std::vector<void*> blocks;
    for (int i = 0; i < SmallBlockPool::kMaxKept + 50; ++i) {
        blocks.push_back(SmallBlockPool::Allocate(size));
        ASSERT_NE(blocks.back(), nullptr);
    }
    for (void* p : blocks) SmallBlockPool::Free(p, size);
    EXPECT_EQ(SmallBlockPool::Kept(size), SmallBlockPool::kMaxKept);
    // Above the largest class nothing is kept.
    void* big = SmallBlockPool::Allocate(SmallBlockPool::kLargest + 1);
    ASSERT_NE(big, nullptr);
    SmallBlockPool::Free(big, SmallBlockPool::kLargest + 1);
    EXPECT_EQ(SmallBlockPool::Kept(SmallBlockPool::kLargest + 1), 0);
    SmallBlockPool::Free(nullptr, 8);
}

TEST(SmallBlockPool, ValuesMadeInOneThreadAreFreedInAnother) {
    // A dictionary built here and destroyed by a thread that then ends: its
    // entries, names and texts go to that thread's lists, which are emptied
    // when it ends (the leak checker of the sanitizer build would see it
    // otherwise, with pooling off there; here it must simply not crash).
    auto dict = std::make_unique<CPDFDict>();
    for (int i = 0; i < 200; ++i) {
        const std::string key = "K" + std::to_string(i);
        ASSERT_TRUE(dict->Insert(CPDFName(key.c_str()), std::make_unique<CPDFName>("V")));
    }
    std::thread([d = std::move(dict)]() mutable {
        d.reset();
        auto again = std::make_unique<CPDFName>("again");
        EXPECT_EQ(again->Length(), 5);
    }).join();
    // Values made with the nothrow form are freed the ordinary way.
    std::unique_ptr<CPDFName> name(new (std::nothrow) CPDFName("n"));
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(name->Equals("n"));
}

TEST(SmallBlockPool, TextBuffersAreFiledUnderTheirCapacity) {
    if (!SmallBlockPool::Enabled()) GTEST_SKIP() << "pooling is off under the sanitizer";
    // A buffer goes back under the size it was allocated with, however long
    // its text. A new thread starts with empty lists, so each count is exact.
    std::thread([] {
        {
            CPDFName name;
            ASSERT_TRUE(name.Reserve(30));
            ASSERT_TRUE(name.Assign("abc", 3));  // frees the 30 and allocates anew
            EXPECT_EQ(name.Capacity(), 10);      // the initial size for short texts
            EXPECT_EQ(SmallBlockPool::Kept(32), 1);
            ASSERT_TRUE(name.Append(std::string(25, 'x').c_str(), 25));
            EXPECT_EQ(name.Capacity(), 100);  // grown in steps of 100
            EXPECT_EQ(SmallBlockPool::Kept(16), 1);
            EXPECT_EQ(SmallBlockPool::Kept(112), 0);
        }
        EXPECT_EQ(SmallBlockPool::Kept(112), 1);
        {
            // 16-bit texts count their units twice.
            corvina::TempString<char16_t> text(u"0123456789012345678901234567890");
            EXPECT_EQ(text.Capacity(), 32);
        }
        EXPECT_EQ(SmallBlockPool::Kept(64), 1);
        // A moved name hands its buffer on: it is freed once, by the new owner.
        const int before = SmallBlockPool::Kept(16);
        {
            CPDFName from("abc");
            CPDFName to(std::move(from));
            EXPECT_EQ(from.Capacity(), 0);
            EXPECT_EQ(to.Capacity(), 10);
            EXPECT_STREQ(to.Text(), "abc");
        }
        EXPECT_EQ(SmallBlockPool::Kept(16), before);
    }).join();
}
