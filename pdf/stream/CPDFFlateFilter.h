#pragma once

#include "pdf/stream/FilterCall.h"
#include "pdf/stream/FilterData.h"

namespace corvina {

// zlib's deflate format. A stream that ends early or turns corrupt decodes
// to what could be inflated; FilterData::warning then says so.
class CPDFFlateFilter {
public:
    bool Decode(FilterData& data, const FilterCall& call);
    bool Encode(FilterData& data, const FilterCall& call);
};

}  // namespace corvina
