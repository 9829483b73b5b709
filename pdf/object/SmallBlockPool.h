#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace corvina::detail {

// Memory for the many small values a parse makes and frees again (a page's
// names, numbers, references, dictionaries and their entries): a freed block
// waits in a list of its size class kept per thread, so the next value of
// that size is one pop instead of a trip through malloc and free. Every block
// is an ordinary malloc block of its class's size, so std::free releases any
// of them. Under AddressSanitizer every call goes straight to malloc and
// free, so that use after free is still seen.
class SmallBlockPool {
public:
    // Requests above this go to malloc as they are.
    static constexpr size_t kLargest = 128;
    static constexpr size_t kStep = 16;
    // Blocks a size class keeps for reuse; more are given back to malloc.
    static constexpr int kMaxKept = 4096;

    // Null when memory runs out.
    static void* Allocate(size_t n) noexcept;
    // n is the size that was asked of Allocate; null p is nothing.
    static void Free(void* p, size_t n) noexcept;
    // Blocks of n bytes' class waiting for reuse in this thread (0 for sizes
    // that are not pooled, or when pooling is off).
    static int Kept(size_t n) noexcept;
    static bool Enabled() noexcept;
};

// A base for the classes whose objects live in pooled blocks. The language
// passes the object's own size to delete, so each block returns to its
// class; the placement form, which is not told the size, frees it as the
// malloc block it is.
struct PooledBlocks {
    static void* operator new(size_t n) {
        void* p = SmallBlockPool::Allocate(n);
        if (!p) throw std::bad_alloc();
        return p;
    }
    static void* operator new(size_t n, const std::nothrow_t&) noexcept {
        return SmallBlockPool::Allocate(n);
    }
    static void operator delete(void* p, size_t n) noexcept { SmallBlockPool::Free(p, n); }
    static void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
};

}  // namespace corvina::detail
