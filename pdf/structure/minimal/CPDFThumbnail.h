#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/stream/CPDFStream.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFMinimal.h"

namespace corvina {

// Minimal: a thumbnail image; any stream.
class CORVINA_API CPDFThumbnail : public detail::CPDFMinimal<CPDFStream, detail::ThumbnailType> {
public:
    static bool Recognize(CPDFObjHolder* /*doc*/, CPDFStream* plain) { return plain != nullptr; }

    // The entries and the data are taken over as they stand (the data still
    // encoded, and still in the file when it was not read): copied instead,
    // the data would bring the line end before "endstream" into Length.
    bool Load(CPDFObjHolder* doc, CPDFStream* plain) {
        SetDoc(doc);
        if (!plain) return false;
        TakeStream(*plain);
        return true;
    }
};

}  // namespace corvina
