#include "pdf/object/SmallBlockPool.h"

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define CORVINA_POOL_OFF 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define CORVINA_POOL_OFF 1
#endif
#endif

namespace corvina::detail {

#ifdef CORVINA_POOL_OFF

void* SmallBlockPool::Allocate(size_t n) noexcept {
    return std::malloc(n == 0 ? 1 : n);
}

void SmallBlockPool::Free(void* p, size_t) noexcept {
    std::free(p);
}

int SmallBlockPool::Kept(size_t) noexcept {
    return 0;
}

bool SmallBlockPool::Enabled() noexcept {
    return false;
}

#else

namespace {

constexpr size_t kClasses = SmallBlockPool::kLargest / SmallBlockPool::kStep;

struct FreeBlock {
    FreeBlock* next;
};

// Plain data, so that reaching it is one thread-relative load; what empties
// it when the thread ends is registered on first use.
struct Lists {
    FreeBlock* head[kClasses];
    int count[kClasses];
    bool registered;
    // Set when the thread's lists are gone: values freed later (by static
    // destructors at exit) go straight back to malloc.
    bool closed;
};

thread_local Lists lists;

struct Closer {
    ~Closer() {
        for (size_t c = 0; c < kClasses; ++c) {
            while (FreeBlock* b = lists.head[c]) {
                lists.head[c] = b->next;
                std::free(b);
            }
            lists.count[c] = 0;
        }
        lists.closed = true;
    }
};

void Register() {
    thread_local Closer closer;
    (void)closer;
    lists.registered = true;
}

size_t ClassOf(size_t n) {
    return n == 0 ? 0 : (n - 1) / SmallBlockPool::kStep;
}

}  // namespace

void* SmallBlockPool::Allocate(size_t n) noexcept {
    if (n > kLargest) return std::malloc(n);
    const size_t c = ClassOf(n);
    Lists& l = lists;
    if (FreeBlock* b = l.head[c]) {
        l.head[c] = b->next;
        --l.count[c];
        return b;
    }
    return std::malloc((c + 1) * kStep);
}

void SmallBlockPool::Free(void* p, size_t n) noexcept {
    if (!p) return;
    if (n <= kLargest) {
        const size_t c = ClassOf(n);
        Lists& l = lists;
        if (!l.registered) Register();
        if (!l.closed && l.count[c] < kMaxKept) {
            FreeBlock* b = static_cast<FreeBlock*>(p);
            b->next = l.head[c];
            l.head[c] = b;
            ++l.count[c];
            return;
        }
    }
    std::free(p);
}

int SmallBlockPool::Kept(size_t n) noexcept {
    return n <= kLargest ? lists.count[ClassOf(n)] : 0;
}

bool SmallBlockPool::Enabled() noexcept {
    return true;
}

#endif

}  // namespace corvina::detail
