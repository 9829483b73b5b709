#pragma once

#include <cstdint>

#include "pdf/io/CorvinaApi.h"

namespace corvina {

// One cross-reference entry. For a free entry, offset is the next free number;
// for an object kept in an object stream (stmNum set, generation 0), offset is
// its index in that stream. A plain value; objNum -1 marks a slot that holds
// no entry.
struct CORVINA_API XRefEntry {
    int32_t objNum = -1;
    int32_t genNum = 0;
    int32_t offset = 0;
    bool inUse = false;
    // Object number of the object stream holding the object, 0 for none.
    int32_t stmNum = 0;
};

}  // namespace corvina
