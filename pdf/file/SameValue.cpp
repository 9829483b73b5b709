#include "pdf/file/SameValue.h"

#include <cstring>

#include "pdf/io/Limits.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFBool.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFString.h"
#include "pdf/stream/CPDFStream.h"

namespace corvina::detail {
namespace {

constexpr int kNumbers = CPDFObject::Number | CPDFObject::Integer | CPDFObject::Real;
constexpr int kStrings = CPDFObject::String | CPDFObject::Text;

bool SameBytes(const char* a, int na, const char* b, int nb) {
    return na == nb && (na == 0 || std::memcmp(a, b, static_cast<size_t>(na)) == 0);
}

bool Same(const CPDFAtom* a, const CPDFAtom* b, int depth);

bool SameEntries(const CPDFDict& a, const CPDFDict& b, int depth) {
    if (a.Count() != b.Count()) return false;
    // Both iterate in ascending key order, so equal dictionaries pair up.
    CPDFDict::Node* x = a.First();
    CPDFDict::Node* y = b.First();
    for (; x && y; x = CPDFDict::Next(x), y = CPDFDict::Next(y)) {
        if (!SameBytes(x->key.Text(), x->key.Length(), y->key.Text(), y->key.Length()) ||
            !Same(x->value, y->value, depth + 1))
            return false;
    }
    return !x && !y;
}

bool SameObject(const CPDFObject& a, const CPDFObject& b, int depth) {
    const int ta = a.TypeCode();
    const int tb = b.TypeCode();
    if ((ta & kNumbers) && (tb & kNumbers)) {
        const auto& x = static_cast<const CPDFNumber&>(a).KeptText();
        const auto& y = static_cast<const CPDFNumber&>(b).KeptText();
        // A value somebody set is written in the program's form, which may
        // differ from any text read.
        return !x.Empty() && SameBytes(x.Data(), x.Length(), y.Data(), y.Length());
    }
    if ((ta & kStrings) && (tb & kStrings)) {
        const auto& x = static_cast<const CPDFString&>(a);
        const auto& y = static_cast<const CPDFString&>(b);
        return SameBytes(x.Text(), x.Length(), y.Text(), y.Length());
    }
    if (ta != tb) return false;
    switch (ta) {
        case CPDFObject::Null:
            return true;
        case CPDFObject::Bool:
            return static_cast<const CPDFBool&>(a).Value() ==
                   static_cast<const CPDFBool&>(b).Value();
        case CPDFObject::Name: {
            const auto& x = static_cast<const CPDFName&>(a);
            const auto& y = static_cast<const CPDFName&>(b);
            return SameBytes(x.Text(), x.Length(), y.Text(), y.Length());
        }
        case CPDFObject::Array: {
            const auto& x = static_cast<const CPDFArray&>(a);
            const auto& y = static_cast<const CPDFArray&>(b);
            if (x.Count() != y.Count()) return false;
            for (int i = 0; i < x.Count(); ++i)
                if (!Same(x.GetAt(i), y.GetAt(i), depth + 1)) return false;
            return true;
        }
        case CPDFObject::Dictionary:
            return SameEntries(static_cast<const CPDFDict&>(a), static_cast<const CPDFDict&>(b),
                               depth);
        case CPDFObject::Stream: {
            const auto& x = static_cast<const CPDFStream&>(a);
            const auto& y = static_cast<const CPDFStream&>(b);
            // Data in memory may have been changed; only data still lying in
            // the same input range is known to be the same.
            return x.IsDeferred() && y.IsDeferred() && x.SourceOffset() == y.SourceOffset() &&
                   x.SourceLength() == y.SourceLength() && SameEntries(x, y, depth);
        }
        default:
            return false;
    }
}

bool Same(const CPDFAtom* a, const CPDFAtom* b, int depth) {
    if (depth > limits::kMaxParseNesting) return false;
    if (!a || !b) return !a && !b;
    if (a->Kind() != b->Kind()) return false;
    if (a->Kind() == CPDFAtom::RefKind)
        return *static_cast<const CPDFObjRef*>(a) == *static_cast<const CPDFObjRef*>(b);
    if (a->Kind() != CPDFAtom::ObjectKind) return false;
    return SameObject(*static_cast<const CPDFObject*>(a), *static_cast<const CPDFObject*>(b),
                      depth);
}

}  // namespace

bool SameValue(const CPDFAtom* a, const CPDFAtom* b) {
    return Same(a, b, 0);
}

}  // namespace corvina::detail
