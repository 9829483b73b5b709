#pragma once

#include <cstdint>
#include <memory>

#include "pdf/stream/FilterCall.h"
#include "pdf/stream/FilterData.h"

namespace corvina {

class CPDFCCITTFaxFilter {
public:
    // The decode parameters are FilterData::parms.
    bool Decode(FilterData& data, const FilterCall& call);
    // parms receives the decode parameters of the encoded data.
    bool Encode(FilterData& data, const FilterCall& call, int32_t k,
                std::unique_ptr<CPDFDict>& parms);
};

}  // namespace corvina
