#pragma once

#include "pdf/stream/FilterCall.h"
#include "pdf/stream/FilterData.h"

namespace corvina {

class CPDFASCII85Filter {
public:
    bool Decode(FilterData& data, const FilterCall& call);
    bool Encode(FilterData& data, const FilterCall& call);
};

}  // namespace corvina
