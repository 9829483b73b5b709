#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFDocStruct.h"

namespace corvina {

class CPDFText;
class CPDFDate;

// The document information dictionary.
class CORVINA_API CPDFInfoDict : public CPDFDict, public CPDFDocStruct {
public:
    CPDFInfoDict();

    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);  // any dictionary
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    // Getters return the plain object when an entry did not type.
    CPDFObject* Get_Author(CPDFObjRef* ref = nullptr);
    bool Set_Author(std::unique_ptr<CPDFText> v, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFObject* Get_CreationDate(CPDFObjRef* ref = nullptr);
    bool Set_CreationDate(std::unique_ptr<CPDFDate> v, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFObject* Get_ModDate(CPDFObjRef* ref = nullptr);
    bool Set_ModDate(std::unique_ptr<CPDFDate> v, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFObject* Get_Creator(CPDFObjRef* ref = nullptr);
    bool Set_Creator(std::unique_ptr<CPDFText> v, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFObject* Get_Producer(CPDFObjRef* ref = nullptr);
    bool Set_Producer(std::unique_ptr<CPDFText> v, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFObject* Get_Title(CPDFObjRef* ref = nullptr);
    bool Set_Title(std::unique_ptr<CPDFText> v, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFObject* Get_Subject(CPDFObjRef* ref = nullptr);
    bool Set_Subject(std::unique_ptr<CPDFText> v, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFObject* Get_Keywords(CPDFObjRef* ref = nullptr);
    bool Set_Keywords(std::unique_ptr<CPDFText> v, bool indirect, CPDFObjRef* ref = nullptr);
};

}  // namespace corvina
