#pragma once

#include <ctime>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDataStruct.h"
#include "pdf/object/CPDFString.h"

namespace corvina {

// A date string "D:YYYYMMDDHHmmSS[+HH'mm']".
class CORVINA_API CPDFDate : public CPDFString, public CPDFDataStruct {
public:
    CPDFDate();

    // At least two bytes, beginning with "D:".
    static bool Recognize(CPDFObjHolder* doc, CPDFString* plain);
    bool Load(CPDFObjHolder* doc, CPDFString* plain);
    // The current local time, with or without the zone part.
    void SetNow(bool withZone);
    // The same for a given time (tests fix the clock through this).
    void SetTime(std::time_t when, bool withZone);
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;
};

}  // namespace corvina
