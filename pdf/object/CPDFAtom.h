#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/SmallBlockPool.h"

namespace corvina {

// Root of every value that can stand in an array or a dictionary. Holders look
// at Kind() and convert: 1 is a CPDFObjRef, 2 a CPDFObject; anything else is
// treated as absent.
// Values come and go by the thousand while a file is read: they live in
// pooled blocks.
class CORVINA_API CPDFAtom : public detail::PooledBlocks {
public:
    enum Kind { AtomKind = 0, RefKind = 1, ObjectKind = 2 };

    virtual ~CPDFAtom() = 0;

    int Kind() const { return kind_; }
    const char* KindName() const { return kindName_; }

protected:
    CPDFAtom() = default;
    CPDFAtom(int kind, const char* kindName) : kind_(kind), kindName_(kindName) {}
    CPDFAtom(const CPDFAtom&) = default;
    CPDFAtom& operator=(const CPDFAtom&) = default;

    int kind_ = AtomKind;
    const char* kindName_ = "";
};

inline CPDFAtom::~CPDFAtom() = default;

}  // namespace corvina
