#pragma once

#include "pdf/structure/CPDFDestination.h"
#include "pdf/structure/CPDFLinkPoint.h"
#include "pdf/structure/TypedLoad.h"

namespace corvina::detail {

// A value of the catalog's Dests dictionary or of a Dests name tree: a plain
// array passing the destination test becomes a CPDFDestination, a plain
// dictionary whose D is an array a CPDFLinkPoint. Typed values and anything
// else stay as they are.
template <class Holder, class Key>
bool TypeDestValue(CPDFObjHolder* doc, Holder&& holder, Key key, CPDFObject* value,
                   const CPDFObjRef& through) {
    if (CPDFArray* array = AsPlainArray(value)) {
        if (CPDFDestination::Recognize(doc, array))
            return TypeAt<CPDFDestination>(doc, holder, key, array, through);
    } else if (CPDFDict* dict = AsPlainDict(value)) {
        if (CPDFLinkPoint::Recognize(doc, dict))
            return TypeAt<CPDFLinkPoint>(doc, holder, key, dict, through);
    }
    return true;
}

}  // namespace corvina::detail
