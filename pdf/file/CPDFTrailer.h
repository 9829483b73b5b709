#pragma once

#include <cstdint>
#include <memory>

#include "pdf/file/CPDFFileStruct.h"
#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFNumber.h"

namespace corvina {

class InStream;
class CPDFCatalog;
class CPDFInfoDict;
class CPDFArray;

// "trailer", its dictionary, "startxref", the offset and "%%EOF". Owned by
// the document; owns its dictionary, which takes every value set here (the
// document takes it instead when it is set as indirect), whether or not the
// setter succeeds. The getters observe and are null when the entry is missing
// or of another type. Serialize throws on a trailer that does not read;
// Create and Realize report false instead.
class CORVINA_API CPDFTrailer : public CPDFFileStruct {
public:
    CPDFTrailer();
    ~CPDFTrailer() override;

    void Serialize(CPDFObjHolder* doc, InStream& in);
    void Serialize(OutStream& out) override;
    // Copies the source's entries and sets Prev to its startxref; without a
    // source makes Size 1 and a new catalog.
    bool Create(CPDFObjHolder* doc, const CPDFTrailer* source);
    // Loads indirect Size/Prev as direct integers and Encrypt as its typed form.
    bool Realize(CPDFObjHolder* doc);

    CPDFDict& Dict() { return *dict_; }

    CPDFNumber* Get_Size(CPDFObjRef* ref = nullptr);
    bool Set_Size(int32_t size);
    CPDFNumber* Get_Prev(CPDFObjRef* ref = nullptr);
    bool Set_Prev(int32_t offset);
    // Null when Root is missing or not yet typed.
    CPDFCatalog* Get_Root(CPDFObjRef* ref = nullptr);
    // The plain or typed Root object.
    CPDFObject* Get_RootObj(CPDFObjRef* ref = nullptr);
    bool Set_Root(std::unique_ptr<CPDFObject> root, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFInfoDict* Get_Info(CPDFObjRef* ref = nullptr);
    CPDFObject* Get_InfoObj(CPDFObjRef* ref = nullptr);
    bool Set_Info(std::unique_ptr<CPDFObject> info, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFArray* Get_ID(CPDFObjRef* ref = nullptr);
    CPDFDict* Get_Encrypt(CPDFObjRef* ref = nullptr);
    bool Set_Encrypt(std::unique_ptr<CPDFObject> encrypt, bool indirect, CPDFObjRef* ref = nullptr);

    int32_t StartXRef() const { return startxref_; }
    void SetStartXRef(int32_t offset) { startxref_ = offset; }

    // A section read or written as a cross-reference stream: dict holds the
    // trailer's entries of the stream's dictionary, offset is the stream's.
    void AdoptStreamSection(std::unique_ptr<CPDFDict> dict, int32_t offset);
    bool IsStreamSection() const { return streamSection_; }
    void SetStreamSection(bool on) { streamSection_ = on; }

private:
    std::unique_ptr<CPDFDict> dict_;
    int32_t startxref_ = -1;
    bool streamSection_ = false;
};

}  // namespace corvina
