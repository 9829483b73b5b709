#include "pdf/object/SmallBlockPool.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
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

TEST(SmallBlockPool, NewBlocksAreCutFromTheArenaAligned) {
    if (!SmallBlockPool::Enabled()) GTEST_SKIP() << "pooling is off under the sanitizer";
    std::thread([] {
        std::vector<void*> blocks;
        for (size_t size : {1, 16, 17, 100, 128}) {
            void* p = SmallBlockPool::Allocate(size);
            ASSERT_NE(p, nullptr);
            EXPECT_TRUE(SmallBlockPool::InArena(p)) << size;
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(std::max_align_t), 0u) << size;
            std::memset(p, 'x', (size + 15) / 16 * 16);
            blocks.push_back(p);
        }
        // Each block has its own bytes.
        for (size_t i = 1; i < blocks.size(); ++i)
            EXPECT_GE(static_cast<char*>(blocks[i]) - static_cast<char*>(blocks[i - 1]), 16);
        void* big = SmallBlockPool::Allocate(SmallBlockPool::kLargest + 1);
        EXPECT_FALSE(SmallBlockPool::InArena(big));
        SmallBlockPool::Free(big, SmallBlockPool::kLargest + 1);
        EXPECT_EQ(SmallBlockPool::Kept(SmallBlockPool::kLargest + 1), 0);
        SmallBlockPool::Free(nullptr, 8);
        EXPECT_FALSE(SmallBlockPool::InArena(nullptr));
        EXPECT_FALSE(SmallBlockPool::InArena(&blocks));
    }).join();
}

namespace {
struct Refusing : corvina::detail::PooledBlocks {
    Refusing() { throw std::runtime_error("refused"); }
    char bytes[40];
};
}  // namespace

TEST(SmallBlockPool, ABlockWhoseConstructorThrowsIsLetGo) {
    // new (std::nothrow) frees the block through the placement delete, which
    // is not told its size; an arena block must not reach std::free.
    for (int i = 0; i < 3; ++i) EXPECT_THROW(new (std::nothrow) Refusing(), std::runtime_error);
    auto name = std::make_unique<CPDFName>("after");
    EXPECT_TRUE(name->Equals("after"));
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

// Last of the file: it uses the whole arena of the process it runs in.
TEST(SmallBlockPool, OnceTheArenaIsUsedUpBlocksComeFromMallocAndAFewAreKept) {
    if (!SmallBlockPool::Enabled()) GTEST_SKIP() << "pooling is off under the sanitizer";
    std::thread([] {
        const size_t size = 100;
        std::vector<void*> arena, heap;
        // Cutting blocks touches no memory: only the addresses are handed out.
        for (size_t i = 0; i <= SmallBlockPool::kArenaBytes / 112; ++i) {
            void* p = SmallBlockPool::Allocate(size);
            ASSERT_NE(p, nullptr);
            if (!SmallBlockPool::InArena(p)) {
                heap.push_back(p);
                break;
            }
            arena.push_back(p);
        }
        ASSERT_EQ(heap.size(), 1u) << "the arena never ran out";
        while (heap.size() < static_cast<size_t>(SmallBlockPool::kMaxKept) + 50) {
            heap.push_back(SmallBlockPool::Allocate(size));
            ASSERT_FALSE(SmallBlockPool::InArena(heap.back()));
        }
        // Blocks from malloc: a bounded number is kept, the rest given back.
        for (void* p : heap) SmallBlockPool::Free(p, size);
        EXPECT_EQ(SmallBlockPool::Kept(size), SmallBlockPool::kMaxKept);
        // Arena blocks are all kept, and served first again.
        for (size_t i = 0; i < 1000; ++i) SmallBlockPool::Free(arena[i], size);
        EXPECT_EQ(SmallBlockPool::Kept(size), SmallBlockPool::kMaxKept + 1000);
        EXPECT_TRUE(SmallBlockPool::InArena(SmallBlockPool::Allocate(size)));
    }).join();
}

TEST(SmallBlockPool, AThreadsEndGivesBackTheBlocksItKeptFromMalloc) {
    if (!SmallBlockPool::Enabled()) GTEST_SKIP() << "pooling is off under the sanitizer";
    const size_t before = mallinfo2().uordblks;
    std::thread([] {
        // Arena blocks first, as a document's teardown leaves them, then
        // blocks from malloc behind them in the same lists.
        std::vector<void*> arena;
        for (int i = 0; i < 1000; ++i) arena.push_back(SmallBlockPool::Allocate(48));
        for (void* p : arena) SmallBlockPool::Free(p, 48);
        for (int i = 0; i < 2000; ++i) SmallBlockPool::Free(std::malloc(100), 100);
        EXPECT_GE(SmallBlockPool::Kept(100), 2000);
    }).join();
    // 2,000 blocks of 100 bytes would be over 200 KB still in use.
    EXPECT_LT(mallinfo2().uordblks, before + 64 * 1024);
}
