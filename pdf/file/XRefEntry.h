#pragma once

#include <cstdint>

namespace corvina {

// One cross-reference entry. For a free entry, offset is the next free number.
// A plain value; objNum -1 marks a slot that holds no entry.
struct XRefEntry {
    int32_t objNum = -1;
    int32_t genNum = 0;
    int32_t offset = 0;
    bool inUse = false;
};

}  // namespace corvina
