#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "pdf/object/CPDFDict.h"
#include "pdf/object/TempHugeString.h"

namespace corvina {

class CPDFArray;
class CPDFNumber;

// A stream: its dictionary and its data, which stays in the holder's source
// file (offset and length set) until something needs the bytes.
// Owned like any object, by the document or the container holding it; the
// document is borrowed, may be null for a stream made alone, and must outlive
// it while the data is deferred. The stream owns its data; GetData's pointer
// observes it until the next change, and is null (length 0) only when
// deferred data cannot be read. Reading and writing throw a CPDFException for
// the document's boundary to keep; the data changes report false instead.
class CPDFStream : public CPDFDict {
public:
    CPDFStream();
    explicit CPDFStream(CPDFObjHolder* doc);
    ~CPDFStream() override;

    // Reads the data of a stream whose dictionary was just parsed; the
    // dictionary's entries move into the stream. Throws on failure.
    void Serialize(CPDFObjHolder* doc, InStream& in, std::unique_ptr<CPDFDict> dict,
                   CryptKey crypt);
    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    // Data access loads deferred data first; null and 0 when that fails.
    const char* GetData();
    int32_t GetDataLength();
    bool IsDeferred() const { return srcOffset_ != -1 && srcLength_ != -1; }
    int32_t SourceOffset() const { return srcOffset_; }
    int32_t SourceLength() const { return srcLength_; }

    // Data changes keep Length in step.
    bool AppendData(const char* data, int32_t length);
    bool AppendData(char c, int32_t count);
    bool SetData(const char* data, int32_t length);
    bool SetData(char c, int32_t count);
    bool InsertData(int32_t position, const char* data, int32_t length);
    void ClearStream();

    CPDFNumber* Get_Length(CPDFObjRef* ref = nullptr);
    bool Set_Length(int32_t length);
    CPDFObject* Get_Filter(CPDFObjRef* ref = nullptr);
    bool Set_Filter(std::unique_ptr<CPDFName> name);
    bool Set_Filter(std::unique_ptr<CPDFArray> names);
    CPDFObject* Get_DecodeParms(CPDFObjRef* ref = nullptr);
    bool Set_DecodeParms(std::unique_ptr<CPDFDict> parms);
    bool Set_DecodeParms(std::unique_ptr<CPDFArray> parms);
    CPDFObject* Get_F(CPDFObjRef* ref = nullptr);
    bool Set_F(std::unique_ptr<CPDFObject> spec, bool indirect, CPDFObjRef* ref = nullptr);

    CPDFObjHolder* GetDoc() const { return doc_; }

private:
    bool LoadData();
    bool UpdateLength();
    // Makes an indirect Length (length, null when it could not be resolved)
    // direct with the length of the data taken; throws when there is none.
    void DirectLength(const CPDFObject* length, bool indirect, int32_t dataLength);
    // All the deferred data (offset and length in the holder's file) read
    // into a buffer; false, the buffer empty, when it cannot be read.
    bool ReadSource(TempHugeString<char>& into) const;
    // True when p points into the data buffer (an insertion copies such input).
    bool Owns(const char* p) const;

    CPDFObjHolder* doc_ = nullptr;
    TempHugeString<char> data_;
    int32_t srcOffset_ = -1;
    int32_t srcLength_ = -1;
};

}  // namespace corvina
