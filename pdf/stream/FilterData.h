#pragma once

#include <cstdint>
#include <string>

#include "pdf/object/TempHugeString.h"

namespace corvina {

class CPDFDict;
class CPDFObjHolder;

// What a filter works on: the stream's dictionary (read for image geometry,
// changed for entries such as Decode), its data, and the result the stream
// takes over when the filter succeeds. The stream stays the owner of all of
// it; nothing here outlives the call.
struct FilterData {
    FilterData(CPDFDict& d, CPDFObjHolder* holder, const char* bytes, int32_t n, CPDFDict* p)
        : dict(d), doc(holder), data(bytes), length(n), parms(p) {}
    FilterData(const FilterData&) = delete;
    FilterData& operator=(const FilterData&) = delete;

    CPDFDict& dict;
    CPDFObjHolder* doc;
    const char* data;
    int32_t length;
    TempHugeString<char> result;
    // Decode parameters of this filter (a dictionary, or null), borrowed.
    CPDFDict* parms;
    // Warnings a caller may read (a Flate stream that ended early, say):
    // the data is usable but not all of it was there.
    std::string warning;
};

}  // namespace corvina
