#pragma once

#include <cstdlib>
#include <new>

#include "pdf/object/SmallBlockPool.h"

namespace corvina {

// Root of every value that can stand in an array or a dictionary. Holders look
// at Kind() and convert: 1 is a CPDFObjRef, 2 a CPDFObject; anything else is
// treated as absent.
class CPDFAtom {
public:
    enum Kind { AtomKind = 0, RefKind = 1, ObjectKind = 2 };

    virtual ~CPDFAtom() = 0;

    // Values come and go by the thousand while a file is read: they live in
    // pooled blocks. Every block is a malloc block, so the placement form
    // frees without knowing its size.
    static void* operator new(size_t n) {
        void* p = detail::SmallBlockPool::Allocate(n);
        if (!p) throw std::bad_alloc();
        return p;
    }
    static void* operator new(size_t n, const std::nothrow_t&) noexcept {
        return detail::SmallBlockPool::Allocate(n);
    }
    static void operator delete(void* p, size_t n) noexcept { detail::SmallBlockPool::Free(p, n); }
    static void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

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
