#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace corvina::detail {

// Grows a slot table to hold need slots: capacity doubles (rounded up to a
// multiple of step) so that tables filled one number at a time stay linear.
// False when memory runs out.
template <class T>
bool GrowSlots(std::vector<T>& slots, size_t need, size_t step = 1) {
    if (slots.size() >= need) return true;
    try {
        if (slots.capacity() < need) {
            size_t cap = slots.capacity() * 2;
            if (cap < need) cap = need;
            slots.reserve((cap + step - 1) / step * step);
        }
        slots.resize(need);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace corvina::detail
