#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace corvina::detail {

// Grows a slot table to hold at least need slots: capacity doubles (rounded
// up to a multiple of step) so that tables filled one number at a time stay
// linear. The size runs up to kSlotRun slots ahead of need (within the
// capacity), so that the next numbers cost a size check, not a resize each,
// while the untouched rest of the capacity stays out of memory. Slots past
// need are empty (value-initialised). False when memory runs out.
constexpr size_t kSlotRun = 1024;

template <class T>
bool GrowSlots(std::vector<T>& slots, size_t need, size_t step = 1) {
    if (slots.size() >= need) return true;
    try {
        if (slots.capacity() < need) {
            size_t cap = slots.capacity() * 2;
            if (cap < need) cap = need;
            slots.reserve((cap + step - 1) / step * step);
        }
        const size_t ahead = need + kSlotRun;
        slots.resize(ahead < slots.capacity() ? ahead : slots.capacity());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace corvina::detail
