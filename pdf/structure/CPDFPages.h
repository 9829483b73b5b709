#pragma once

#include <cstdint>
#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFDocStruct.h"

namespace corvina {

class CPDFArray;
class CPDFInt;
class CPDFNumber;
class CPDFPage;

// An inner node of the page tree.
class CORVINA_API CPDFPages : public CPDFDict, public CPDFDocStruct {
public:
    CPDFPages();

    // Kids an array, Type "Pages" or none (real files leave it out of inner
    // nodes), Count a plain CPDFNumber or none.
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);
    bool Create(CPDFObjHolder* doc, const CPDFObjRef& parent);
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);

    // The page at a zero-based position below this node, or null; ref receives
    // the page's reference, also when the tree names one there that cannot
    // be read (an object a running save has written and released, say).
    CPDFPage* GetPage(int32_t position, CPDFObjRef* ref);
    bool DeletePage(int32_t position, const CPDFObjRef& nodeRef);

    CPDFArray* Get_Kids(CPDFObjRef* ref = nullptr);
    bool Set_Kids(std::unique_ptr<CPDFArray> kids, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFNumber* Get_Count(CPDFObjRef* ref = nullptr);
    bool Set_Count(std::unique_ptr<CPDFInt> count, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFPages* Get_Parent(CPDFObjRef* ref = nullptr);
    bool Set_Parent(const CPDFObjRef& parent);

    // Where the last walk over Kids stopped, so that asking for the pages in
    // order costs one pass over a wide node instead of one pass per page. It
    // holds only while Kids is the same array with the same length.
    struct Cursor {
        const CPDFArray* kids = nullptr;
        int count = -1;
        int index = 0;
        int64_t seen = 0;
        int32_t position = 0;
    };
    Cursor& WalkCursor() { return cursor_; }

    // The pages below this node as its leaves count them, set by the walk at
    // open; -1 when not known. Count is only a hint: readers paginate by the
    // leaves, and a wrong Count must not hide or invent pages.
    int64_t Leaves() const { return leaves_; }
    void SetLeaves(int64_t n) { leaves_ = n; }
    // The leaves when known, else Count's value; -1 without either.
    int64_t PageCount();

private:
    Cursor cursor_;
    int64_t leaves_ = -1;
};

}  // namespace corvina
