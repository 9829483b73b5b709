#pragma once

#include "pdf/stream/CPDFStream.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: a thumbnail image; any stream.
class CPDFThumbnail : public detail::CPDFMinimal<CPDFStream, detail::ThumbnailType> {
public:
    static bool Recognize(CPDFObjHolder* /*doc*/, CPDFStream* plain) { return plain != nullptr; }

    // A stream keeps its data apart from its entries: the bytes are copied as
    // they stand in the file (still encoded), the entries taken over.
    bool Load(CPDFObjHolder* doc, CPDFStream* plain) {
        SetDoc(doc);
        const char* data = plain->GetData();
        const int32_t length = plain->GetDataLength();
        if (!data && length != 0) return false;
        Swap(*plain);
        return SetData(data ? data : "", length);
    }
};

}  // namespace corvina
