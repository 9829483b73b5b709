// The page's way up its tree, apart from the rest of the page: the page tree
// types its pages, so the page itself stays clear of the tree node's class.
#include "pdf/structure/CPDFPage.h"

#include "pdf/structure/CPDFPages.h"

namespace corvina {

namespace {

constexpr char kParent[] = "Parent";

}  // namespace

CPDFPages* CPDFPage::Get_Parent(CPDFObjRef* ref) {
    return GetAs<CPDFPages>(doc_, kParent, ref);
}

}  // namespace corvina
