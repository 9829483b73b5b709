#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

#include "pdf/io/CorvinaApi.h"

namespace corvina::detail {

// Memory for the many small values a parse makes and frees again (a page's
// names, numbers, references, dictionaries and their entries): a freed block
// waits in a list of its size class kept per thread, so the next value of
// that size is one pop instead of a trip through malloc and free.
//
// New blocks are cut from an arena: one reservation of address space, asked
// to be backed by huge pages past its first 512 KB, so that a large document's
// values cost one page fault per 2 MB instead of one per 4 KB. Arena blocks
// stay in the lists when freed and the arena is kept until the process ends;
// once it is used up, blocks come from malloc and go back to it beyond
// kMaxKept a class. Under AddressSanitizer every call goes straight to malloc
// and free, so that use after free is still seen.
class CORVINA_API SmallBlockPool {
public:
    // Requests above this go to malloc as they are.
    static constexpr size_t kLargest = 128;
    static constexpr size_t kStep = 16;
    // Blocks from malloc a size class keeps for reuse; more are given back.
    static constexpr int kMaxKept = 4096;
    // Address space of the arena; only what is used is backed by memory.
    static constexpr size_t kArenaBytes = size_t{64} << 20;

    // Null when memory runs out.
    static void* Allocate(size_t n) noexcept;
    // n is the size that was asked of Allocate; null p is nothing.
    static void Free(void* p, size_t n) noexcept;
    // For a block whose size is not known: given back to malloc when it came
    // from there, left unused in the arena otherwise.
    static void FreeUnsized(void* p) noexcept;
    // True when p lies in the arena.
    static bool InArena(const void* p) noexcept;
    // Blocks of n bytes' class waiting for reuse in this thread (0 for sizes
    // that are not pooled, or when pooling is off).
    static int Kept(size_t n) noexcept;
    static bool Enabled() noexcept;
};

// A base for the classes whose objects live in pooled blocks. The language
// passes the object's own size to delete, so each block returns to its
// class; the placement form, which is not told the size (a constructor that
// threw under new (std::nothrow)), lets it go without its class.
struct CORVINA_API PooledBlocks {
    static void* operator new(size_t n) {
        void* p = SmallBlockPool::Allocate(n);
        if (!p) throw std::bad_alloc();
        return p;
    }
    static void* operator new(size_t n, const std::nothrow_t&) noexcept {
        return SmallBlockPool::Allocate(n);
    }
    static void operator delete(void* p, size_t n) noexcept { SmallBlockPool::Free(p, n); }
    static void operator delete(void* p, const std::nothrow_t&) noexcept {
        SmallBlockPool::FreeUnsized(p);
    }
};

}  // namespace corvina::detail
