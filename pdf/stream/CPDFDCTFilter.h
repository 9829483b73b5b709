#pragma once

#include <cstdint>

#include "pdf/stream/FilterCall.h"
#include "pdf/stream/FilterData.h"

namespace corvina {

class CPDFDCTFilter {
public:
    bool Decode(FilterData& data, const FilterCall& call);
    bool Encode(FilterData& data, const FilterCall& call, int32_t quality);
};

}  // namespace corvina
