#include "pdf/file/IndirectValue.h"

#include <utility>

#include "pdf/io/InStream.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/stream/CPDFStream.h"

namespace corvina::detail {

std::unique_ptr<CPDFObject> ReadIndirectValue(CPDFObjHolder* holder, InStream& in, CryptKey crypt) {
    std::unique_ptr<CPDFObject> obj = CPDFObject::SerializeObject(holder, in, crypt);
    if (!obj || obj->TypeCode() != CPDFObject::Dictionary) return obj;
    in.SkipWhitespaceAndComments();
    if (in.Peek() != 's') return obj;
    std::unique_ptr<CPDFDict> dict(static_cast<CPDFDict*>(obj.release()));
    auto stream = std::make_unique<CPDFStream>(holder);
    stream->Serialize(holder, in, std::move(dict), crypt);
    return stream;
}

}  // namespace corvina::detail
