#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/TempHugeString.h"
#include "pdf/stream/FilterCall.h"

namespace corvina {

class CPDFArray;
class CPDFNumber;
struct FilterData;

// A stream: its dictionary and its data, which stays in the holder's source
// file (offset and length set) until something needs the bytes.
// Owned like any object, by the document or the container holding it; the
// document is borrowed, may be null for a stream made alone, and must outlive
// it while the data is deferred. The stream owns its data; GetData's pointer
// observes it until the next change, and is null (length 0) only when
// deferred data cannot be read. Reading and writing throw a CPDFException for
// the document's boundary to keep; the data changes report false instead.
class CORVINA_API CPDFStream : public CPDFDict {
public:
    // The data's length as the search for "endstream" measured it when the
    // Length read was wrong or missing; -1 when Length was right.
    int32_t RepairedLength() const { return measuredLength_; }
    CPDFStream();
    explicit CPDFStream(CPDFObjHolder* doc);
    ~CPDFStream() override;

    // Reads the data of a stream whose dictionary was just parsed; the
    // dictionary's entries move into the stream. Throws on failure.
    void Serialize(CPDFObjHolder* doc, InStream& in, std::unique_ptr<CPDFDict> dict,
                   CryptKey crypt);
    void Serialize(OutStream& out, CryptKey crypt) override;
    // The declared data length: a non-negative whole number, direct or
    // through a reference; nothing otherwise.
    static std::optional<int32_t> DeclaredLength(const CPDFObject* length);
    // Position of the "endstream" that follows the first length bytes of the
    // data after optional white space, as readers take it; -1 when the keyword
    // is not there (the Length is wrong) and the end has to be searched for.
    static int EndAfter(InStream& in, int start, int32_t length);
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    // Data access loads deferred data first; null and 0 when that fails.
    const char* GetData();
    int32_t GetDataLength();
    bool IsDeferred() const { return srcOffset_ != -1 && srcLength_ != -1; }
    int32_t SourceOffset() const { return srcOffset_; }
    int32_t SourceLength() const { return srcLength_; }

    // Takes over another stream's entries and data as they stand: deferred
    // data stays deferred, a Length found wrong stays to be mended on
    // writing, and Length is not made anew (the line end before "endstream"
    // that deferred bytes carry is no data). The other stream is left empty.
    void TakeStream(CPDFStream& from);

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

    // A save carried the object over as its input bytes, so deferred data
    // now lies moved by delta bytes in the output (for AfterSave).
    void CarriedOver(long delta) {
        writtenAt_ = -1;
        if (!IsDeferred()) return;
        const long at = srcOffset_ + delta;
        if (at >= 0 && at <= INT32_MAX - srcLength_) writtenAt_ = static_cast<int32_t>(at);
    }
    // Called by a save before the document's input is closed. When the file
    // just written becomes the input (readsOutput), deferred data written
    // unchanged is found where it now lies in it, other deferred data keeps
    // its offsets when offsetsKept (the new file starts with the old one);
    // everything else is read into memory. False when that read fails.
    bool AfterSave(bool readsOutput, bool offsetsKept);

    // The encoders and decoders. Each runs its filter over the data and
    // replaces the data with the result; none throws, each reports failure
    // in errors (when given) and leaves the data as it was. An encoder
    // records its filter with EncodeFilter.
    virtual bool EncodeASCIIHex(CPDFException* errors, PDFProgressProc progress = nullptr,
                                PDFCancelProc cancel = nullptr, const PDFProgressRange& range = {});
    virtual bool EncodeASCII85(CPDFException* errors, PDFProgressProc progress = nullptr,
                               PDFCancelProc cancel = nullptr, const PDFProgressRange& range = {});
    virtual bool EncodeFlate(CPDFException* errors, PDFProgressProc progress = nullptr,
                             PDFCancelProc cancel = nullptr, const PDFProgressRange& range = {});
    virtual bool EncodeRunLength(CPDFException* errors, PDFProgressProc progress = nullptr,
                                 PDFCancelProc cancel = nullptr,
                                 const PDFProgressRange& range = {});
    virtual bool EncodeCCITTFax(int32_t k, CPDFException* errors,
                                PDFProgressProc progress = nullptr, PDFCancelProc cancel = nullptr,
                                const PDFProgressRange& range = {});
    virtual bool EncodeDCT(int32_t quality, CPDFException* errors,
                           PDFProgressProc progress = nullptr, PDFCancelProc cancel = nullptr,
                           const PDFProgressRange& range = {});
    // parms: the filter's decode parameters, or null.
    virtual bool DecodeASCIIHex(CPDFObject* parms, CPDFException* errors,
                                PDFProgressProc progress = nullptr, PDFCancelProc cancel = nullptr,
                                const PDFProgressRange& range = {});
    virtual bool DecodeASCII85(CPDFObject* parms, CPDFException* errors,
                               PDFProgressProc progress = nullptr, PDFCancelProc cancel = nullptr,
                               const PDFProgressRange& range = {});
    // The slot no filter fills: always fails.
    virtual bool DecodeReserved(CPDFObject* parms, CPDFException* errors,
                                PDFProgressProc progress = nullptr, PDFCancelProc cancel = nullptr,
                                const PDFProgressRange& range = {});
    virtual bool DecodeFlate(CPDFObject* parms, CPDFException* errors,
                             PDFProgressProc progress = nullptr, PDFCancelProc cancel = nullptr,
                             const PDFProgressRange& range = {});
    virtual bool DecodeRunLength(CPDFObject* parms, CPDFException* errors,
                                 PDFProgressProc progress = nullptr, PDFCancelProc cancel = nullptr,
                                 const PDFProgressRange& range = {});
    virtual bool DecodeCCITTFax(CPDFObject* parms, CPDFException* errors,
                                PDFProgressProc progress = nullptr, PDFCancelProc cancel = nullptr,
                                const PDFProgressRange& range = {});
    virtual bool DecodeDCT(CPDFObject* parms, CPDFException* errors,
                           PDFProgressProc progress = nullptr, PDFCancelProc cancel = nullptr,
                           const PDFProgressRange& range = {});
    // LZW comes after the six filters of the first design, in slots of its own.
    virtual bool EncodeLZW(CPDFException* errors, PDFProgressProc progress = nullptr,
                           PDFCancelProc cancel = nullptr, const PDFProgressRange& range = {});
    virtual bool DecodeLZW(CPDFObject* parms, CPDFException* errors,
                           PDFProgressProc progress = nullptr, PDFCancelProc cancel = nullptr,
                           const PDFProgressRange& range = {});

    // Removes every filter of the Filter entry, first to last.
    bool DecodeAllFilter(CPDFException* errors, PDFProgressProc progress = nullptr,
                         PDFCancelProc cancel = nullptr, const PDFProgressRange& range = {});
    // One decoder chosen by its filter name.
    bool DecodeFilter(const char* name, CPDFObject* parms, CPDFException* errors,
                      PDFProgressProc progress = nullptr, PDFCancelProc cancel = nullptr,
                      const PDFProgressRange& range = {});
    // Records that one more filter was applied: it goes first in Filter, its
    // parameters (or null) first in DecodeParms.
    bool EncodeFilter(const char* name, std::unique_ptr<CPDFObject> parms, CPDFException* errors);

    // What the last decoder noticed without failing (data that ended early,
    // say); empty when all was well.
    const std::string& FilterWarning() const { return filterWarning_; }
    // The largest result a decoder may give, for data that is only parsed
    // (object and cross-reference streams); 0 for no bound but the 32-bit one.
    void SetDecodeLimit(int32_t bytes) { decodeLimit_ = bytes; }

protected:
    // Runs one filter over the data (loaded first) and takes its result on
    // success; errors are reported into call.errors.
    template <class Run>
    bool ApplyFilter(const char* method, const FilterCall& call, CPDFObject* parms, Run run);
    // Replaces the data with bytes (swapped in, not copied) and sets Length.
    bool TakeData(TempHugeString<char>& bytes);

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
    // The data's length as the search for its end measured it, when the
    // Length read was wrong or absent; -1 otherwise.
    int32_t measuredLength_ = -1;
    // Data read through a cipher: Length told the encrypted length, which
    // AES makes differ from the data's.
    bool encryptedLength_ = false;
    // Output offset of deferred data the last Serialize copied, or -1.
    int32_t writtenAt_ = -1;
    std::string filterWarning_;
    int32_t decodeLimit_ = 0;
};

}  // namespace corvina
