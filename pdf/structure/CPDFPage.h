#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFDocStruct.h"

namespace corvina {

class CPDFArray;
class CPDFPages;
class CPDFRect;
class CPDFResDict;

// A leaf of the page tree (or a page template).
class CORVINA_API CPDFPage : public CPDFDict, public CPDFDocStruct {
public:
    CPDFPage();

    // Type "Page" with a dictionary Parent and B absent or an array; or Type "Template".
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);
    // Copies inherited MediaBox and Resources into the page.
    bool Uninherit();

    CPDFPages* Get_Parent(CPDFObjRef* ref = nullptr);
    CPDFObject* Get_MediaBox(CPDFObjRef* ref = nullptr);   // inherited
    CPDFObject* Get_Resources(CPDFObjRef* ref = nullptr);  // inherited
    bool Set_Resources(std::unique_ptr<CPDFObject> res, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFArray* Get_Annots(CPDFObjRef* ref = nullptr);
    bool Set_Annots(std::unique_ptr<CPDFArray> annots, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFObject* Get_Contents(CPDFObjRef* ref = nullptr);
    bool Set_Contents(std::unique_ptr<CPDFObject> contents, bool indirect,
                      CPDFObjRef* ref = nullptr);
};

}  // namespace corvina
