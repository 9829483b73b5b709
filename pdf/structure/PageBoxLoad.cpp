#include "pdf/structure/PageBoxLoad.h"

#include "pdf/structure/TypedLoad.h"
#include "pdf/structure/minimal/CPDFRect.h"
#include "pdf/structure/minimal/CPDFResDict.h"

namespace corvina::detail {

bool LoadPageBoxes(CPDFObjHolder* doc, CPDFDict& holder) {
    static const char* const kKeys[] = {"MediaBox", "Resources", "CropBox",
                                        "ArtBox",   "TrimBox",   "BleedBox"};
    auto self = [&holder] { return &holder; };
    for (const char* key : kKeys) {
        CPDFObjRef ref;
        CPDFObject* value = holder.GetObj(doc, key, &ref);
        if (key == kKeys[1]) {
            if (CPDFDict* res = AsPlainDict(value))
                if (!TypeAt<CPDFResDict>(doc, self, key, res, ref)) return false;
        } else if (CPDFArray* box = AsPlainArray(value)) {
            if (CPDFRect::Recognize(doc, box) && !TypeAt<CPDFRect>(doc, self, key, box, ref))
                return false;
        }
    }
    return true;
}

}  // namespace corvina::detail
