#pragma once

#include <cstddef>

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

}  // namespace corvina::detail
