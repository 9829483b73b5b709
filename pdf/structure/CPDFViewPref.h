#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFDocStruct.h"

namespace corvina {

// The catalog's viewer preferences; its entries are kept and written as read.
class CORVINA_API CPDFViewPref : public CPDFDict, public CPDFDocStruct {
public:
    CPDFViewPref();

    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);  // any dictionary
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;
};

}  // namespace corvina
