#include "pdf/object/SmallBlockPool.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>

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

void SmallBlockPool::FreeUnsized(void* p) noexcept {
    std::free(p);
}

bool SmallBlockPool::InArena(const void*) noexcept {
    return false;
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
constexpr size_t kHugePage = size_t{2} << 20;
// The arena's start, in small pages, before its first huge page.
constexpr size_t kSmallStart = size_t{512} << 10;
// What a thread takes of the arena at a time, to cut blocks from alone.
constexpr size_t kSlab = size_t{64} << 10;

std::once_flag arenaOnce;
std::atomic<char*> arenaBase{nullptr};
std::atomic<size_t> arenaUsed{0};

// Reserved at the first need. MAP_NORESERVE: the reservation is address
// space, not memory. It starts kSmallStart before a huge page boundary: the
// values of a small document stay in small pages, and a large one's go on
// into huge pages.
char* Arena() {
    std::call_once(arenaOnce, [] {
        const size_t size = SmallBlockPool::kArenaBytes + kHugePage;
        void* m = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (m == MAP_FAILED) return;
        const uintptr_t huge =
            (reinterpret_cast<uintptr_t>(m) + kSmallStart + kHugePage - 1) & ~(kHugePage - 1);
        char* base = reinterpret_cast<char*>(huge - kSmallStart);
        // Advice only: without huge pages the arena works with small ones.
        ::madvise(reinterpret_cast<char*>(huge), SmallBlockPool::kArenaBytes - kSmallStart,
                  MADV_HUGEPAGE);
        arenaBase.store(base, std::memory_order_release);
    });
    return arenaBase.load(std::memory_order_acquire);
}

struct FreeBlock {
    FreeBlock* next;
};

// Plain data, so that reaching it is one thread-relative load; what empties
// it when the thread ends is registered on first use.
struct Lists {
    FreeBlock* head[kClasses];
    int count[kClasses];
    bool registered;
    // The part of the arena this thread cuts new blocks from.
    char* slabNext;
    char* slabEnd;
    bool arenaDone;
    // Set once a block from malloc joins a list; until then the lists hold
    // arena blocks only, and the thread's end need not walk them.
    bool heapKept;
    // Set when the thread's lists are gone: values freed later (by static
    // destructors at exit) go straight back to malloc.
    bool closed;
};

thread_local Lists lists;

struct Closer {
    ~Closer() {
        // A large document leaves hundreds of thousands of arena blocks in
        // the lists: walking them at exit would only touch memory.
        for (size_t c = 0; c < kClasses; ++c) {
            if (lists.heapKept) {
                while (FreeBlock* b = lists.head[c]) {
                    lists.head[c] = b->next;
                    if (!SmallBlockPool::InArena(b)) std::free(b);
                }
            }
            lists.head[c] = nullptr;
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
    const size_t size = (c + 1) * kStep;
    if (static_cast<size_t>(l.slabEnd - l.slabNext) < size) {
        if (l.arenaDone) return std::malloc(size);
        char* base = Arena();
        const size_t at = base ? arenaUsed.fetch_add(kSlab, std::memory_order_relaxed)
                               : SmallBlockPool::kArenaBytes;
        if (at > SmallBlockPool::kArenaBytes - kSlab) {
            // Used up (or never had): this thread stops asking.
            l.arenaDone = true;
            return std::malloc(size);
        }
        l.slabNext = base + at;
        l.slabEnd = l.slabNext + kSlab;
    }
    void* b = l.slabNext;
    l.slabNext += size;
    return b;
}

void SmallBlockPool::Free(void* p, size_t n) noexcept {
    if (!p) return;
    if (n <= kLargest) {
        const size_t c = ClassOf(n);
        Lists& l = lists;
        if (!l.registered) Register();
        const bool arena = InArena(p);
        if (!l.closed && (arena || l.count[c] < kMaxKept)) {
            if (!arena) l.heapKept = true;
            FreeBlock* b = static_cast<FreeBlock*>(p);
            b->next = l.head[c];
            l.head[c] = b;
            ++l.count[c];
            return;
        }
        // After the thread's lists are gone an arena block is left unused.
        if (arena) return;
    }
    std::free(p);
}

void SmallBlockPool::FreeUnsized(void* p) noexcept {
    if (!InArena(p)) std::free(p);
}

bool SmallBlockPool::InArena(const void* p) noexcept {
    const char* base = arenaBase.load(std::memory_order_acquire);
    const char* at = static_cast<const char*>(p);
    return base && at >= base && at < base + kArenaBytes;
}

int SmallBlockPool::Kept(size_t n) noexcept {
    return n <= kLargest ? lists.count[ClassOf(n)] : 0;
}

bool SmallBlockPool::Enabled() noexcept {
    return true;
}

#endif

}  // namespace corvina::detail
