#pragma once

#include "pdf/stream/FilterCall.h"
#include "pdf/stream/FilterData.h"

namespace corvina {

// LZW of older producers and TIFF-like images: codes of 9 to 12 bits, most
// significant bit first, 256 clearing the table and 257 ending the data.
// EarlyChange (default 1) widens the codes one code early, as most writers
// do; the decode parameters' predictor is undone as for Flate. The table is
// fixed at 4096 entries whatever the data says.
class CPDFLZWFilter {
public:
    bool Decode(FilterData& data, const FilterCall& call);
    // Writes with EarlyChange 1 and no predictor, clearing the table when it
    // is full.
    bool Encode(FilterData& data, const FilterCall& call);
};

}  // namespace corvina
