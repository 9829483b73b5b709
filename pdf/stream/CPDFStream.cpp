#include "pdf/stream/CPDFStream.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "pdf/io/FileInStream.h"
#include "pdf/io/InStream.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFObjHolder.h"
#include "pdf/object/RC4.h"

namespace corvina {

namespace {

constexpr char kLength[] = "Length";
constexpr char kFilter[] = "Filter";
constexpr char kDecodeParms[] = "DecodeParms";
constexpr char kF[] = "F";

constexpr char kEndStream[] = "endstream";
constexpr int kEndStreamLength = 9;
constexpr int kPiece = 4096;
// Whitespace and comments tolerated between "endstream" and "endobj". Real
// files put a line end there; the bound keeps data full of "endstream"
// inside one long comment from costing quadratic time.
constexpr int kMaxGap = 256;
// A Length that refers to another stream whose Length refers on (possibly in
// a cycle) would otherwise load objects without end.
constexpr int kMaxLengthDepth = 8;
thread_local int lengthDepth = 0;

[[noreturn]] void Raise(int type, const char* factor) {
    throw CPDFException("CPDFStream", "Serialize", type, factor);
}
[[noreturn]] void RaiseIo() {
    Raise(CPDFException::InvalidFormat, "ioerror");
}

struct DepthGuard {
    DepthGuard() { ++lengthDepth; }
    ~DepthGuard() { --lengthDepth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

// Skips whitespace and comments; false when more than kMaxGap bytes go by.
bool SkipGap(InStream& in) {
    int used = 0;
    for (;;) {
        int c = in.Peek();
        if (c == '%') {
            while ((c = in.Peek()) >= 0 && c != '\r' && c != '\n') {
                in.Get();
                if (++used > kMaxGap) return false;
            }
            continue;
        }
        if (!InStream::IsWhitespace(c)) return true;
        in.Get();
        if (++used > kMaxGap) return false;
    }
}

// The cipher of one object's data, or nothing without a key context. One
// cipher runs over all pieces: RC4 is a stream cipher.
std::optional<detail::RC4> Cipher(CryptKey crypt) {
    if (!crypt) return std::nullopt;
    unsigned char key[detail::kObjectKeyLength];
    detail::DeriveObjectKey(crypt, key);
    return detail::RC4(key, detail::kObjectKeyLength);
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Position of the "endstream" that ends the data: the first one followed by
// the word "endobj". Length is not trusted.
int FindEnd(InStream& in) {
    char word[256];
    for (;;) {
        const int e = in.Search(kEndStream, kEndStreamLength);
        if (e < 0) RaiseIo();
        if (in.Seek(e) != 0) RaiseIo();
        if (in.ReadToken(word, sizeof word) && std::strcmp(word, kEndStream) == 0 && SkipGap(in) &&
            in.ReadToken(word, sizeof word) && std::strcmp(word, "endobj") == 0)
            return e;
        if (in.Seek(e + kEndStreamLength) != 0) RaiseIo();
    }
}

}  // namespace

CPDFStream::CPDFStream() {
    typeCode_ = Stream;
    typeName_ = "Stream";
}

CPDFStream::CPDFStream(CPDFObjHolder* doc) : CPDFStream() {
    doc_ = doc;
}

CPDFStream::~CPDFStream() = default;

void CPDFStream::Serialize(CPDFObjHolder* doc, InStream& in, std::unique_ptr<CPDFDict> dict,
                           CryptKey crypt) {
    doc_ = doc;
    parsed_ = 1;
    char word[256];
    if (!in.ReadToken(word, sizeof word)) RaiseIo();
    if (std::strcmp(word, "stream") != 0)
        Raise(CPDFException::InvalidFormat, FormatFactor("invalidtoken: %s", word).c_str());
    const int c = in.Get();
    if (c < 0) RaiseIo();
    if (c == '\r') {
        if (in.Peek() == '\n') in.Get();
    } else if (c != '\n') {
        Raise(CPDFException::InvalidFormat, FormatFactor("invalidtoken: %c", c).c_str());
    }

    const int start = in.Tell();
    if (start < 0) RaiseIo();
    const int end = FindEnd(in);
    const int length = end - start;
    data_.Clear();
    srcOffset_ = srcLength_ = -1;
    if (!crypt && doc && &in == doc->GetInput()) {
        srcOffset_ = start;
        srcLength_ = length;
    } else {
        std::optional<detail::RC4> cipher = Cipher(crypt);
        if (in.Seek(start) != 0) RaiseIo();
        char piece[kPiece];
        for (int left = length; left > 0;) {
            const int n = in.Read(piece, std::min(left, kPiece));
            if (n <= 0) RaiseIo();
            if (cipher) cipher->Process(reinterpret_cast<unsigned char*>(piece), n);
            if (!data_.Append(piece, n)) Raise(CPDFException::RuntimeLibraryError, nullptr);
            left -= n;
        }
    }
    if (in.Seek(end + kEndStreamLength) != 0) RaiseIo();
    if (dict) Swap(*dict);
    if (doc && !doc->IsFlushing()) DirectLength(in);
}

void CPDFStream::DirectLength(InStream& in) {
    const int pos = in.Tell();
    bool ok = false;
    try {
        DepthGuard guard;
        CPDFObjRef ref;
        CPDFObject* length = nullptr;
        if (lengthDepth <= kMaxLengthDepth && Has(kLength)) length = GetObj(doc_, kLength, &ref);
        if (length) {
            ok = true;
            if (ref.IsSet() && length->Is(Number | Integer))
                ok = Set_Length(static_cast<CPDFNumber*>(length)->IntValue());
        }
    } catch (const CPDFException&) {
        ok = false;
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    // Loading the referenced number moved the document's input.
    if (pos < 0 || in.Seek(pos) != 0) ok = false;
    if (!ok) Raise(CPDFException::InternalError, nullptr);
}

void CPDFStream::Serialize(OutStream& out, CryptKey crypt) {
    CPDFDict::Serialize(out, crypt);
    out.WriteEol();
    out.WriteText("stream\r\n");
    if (IsDeferred() && !crypt) {
        // Already ends with whatever line end preceded "endstream" in the source.
        CopySource([&](char* piece, int n) { out.Write(piece, n); });
    } else {
        std::optional<detail::RC4> cipher = Cipher(crypt);
        char last = '\n';  // nothing written needs no line end
        auto emit = [&](char* piece, int n) {
            // The data in memory stays plain; only the written copy is encrypted.
            if (cipher) cipher->Process(reinterpret_cast<unsigned char*>(piece), n);
            out.Write(piece, n);
            last = piece[n - 1];
        };
        if (IsDeferred()) {
            CopySource(emit);
        } else if (cipher) {
            char piece[kPiece];
            for (int done = 0, n; done < data_.Length(); done += n) {
                n = std::min(data_.Length() - done, kPiece);
                std::memcpy(piece, data_.Text() + done, static_cast<size_t>(n));
                emit(piece, n);
            }
        } else if (data_.Length() > 0) {
            out.Write(data_.Text(), data_.Length());
            last = data_.Text()[data_.Length() - 1];
        }
        if (!IsLineEnd(last)) out.WriteEol();
    }
    out.WriteText(kEndStream);
}

// The writer copies deferred data through the document's own input: it is
// open already, and a seek on it costs far less than opening a window on the
// file for every stream of a save.
void CPDFStream::CopySource(const std::function<void(char*, int)>& sink) const {
    InStream* in = doc_ ? doc_->GetInput() : nullptr;
    if (!in) RaiseIo();
    const int saved = in->Tell();
    if (in->Seek(srcOffset_) != 0) RaiseIo();
    char piece[kPiece];
    for (int left = srcLength_; left > 0;) {
        const int n = in->Read(piece, std::min(left, kPiece));
        if (n <= 0) RaiseIo();
        sink(piece, n);
        left -= n;
    }
    if (saved >= 0) in->Seek(saved);
}

bool CPDFStream::ReadSource(TempHugeString<char>& into) const {
    into.Clear();
    const char* path = doc_ ? doc_->GetFilePath() : nullptr;
    if (!path) return false;
    FileInStream file;
    if (!file.Open(path, "rb", srcOffset_, srcLength_) || file.Length() != srcLength_) return false;
    if (srcLength_ == 0) return true;
    if (!into.Fill(0, srcLength_)) return false;
    int done = 0;
    while (done < srcLength_) {
        const int n = file.Read(into.Data() + done, srcLength_ - done);
        if (n <= 0) {
            into.Clear();
            return false;
        }
        done += n;
    }
    return true;
}

bool CPDFStream::LoadData() {
    if (!IsDeferred()) return true;
    if (!ReadSource(data_)) return false;
    srcOffset_ = srcLength_ = -1;
    return true;
}

bool CPDFStream::UpdateLength() {
    const int32_t length = data_.Length();
    CPDFAtom* atom = Find(kLength);
    if (atom && atom->Kind() == CPDFAtom::RefKind) {
        const CPDFObjRef ref = *static_cast<CPDFObjRef*>(atom);
        if (!doc_ || !doc_->UpdateObj(ref)) return false;
        CPDFObject* number = doc_->GetObj(ref);
        if (!number || !number->Is(Number | Integer)) return false;
        static_cast<CPDFNumber*>(number)->SetInt(length);
        return true;
    }
    return Set_Length(length);
}

std::unique_ptr<CPDFObject> CPDFStream::Duplicate(CPDFObjHolder* dstDoc,
                                                  CPDFObjHolder* srcDoc) const {
    try {
        auto copy = std::make_unique<CPDFStream>(dstDoc);
        copy->CopyFlags(*this);
        if (!CopyEntries(*copy, dstDoc, srcDoc, true)) return nullptr;
        if (IsDeferred() && dstDoc == doc_) {
            copy->srcOffset_ = srcOffset_;
            copy->srcLength_ = srcLength_;
        } else if (IsDeferred()) {
            if (!ReadSource(copy->data_)) return nullptr;
        } else if (!copy->data_.Assign(data_.Text(), data_.Length())) {
            return nullptr;
        }
        return copy;
    } catch (const CPDFException&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

const char* CPDFStream::GetData() {
    return LoadData() ? data_.Text() : nullptr;
}

int32_t CPDFStream::GetDataLength() {
    return LoadData() ? data_.Length() : 0;
}

bool CPDFStream::Owns(const char* p) const {
    const char* base = data_.Text();
    return std::less_equal<const char*>()(base, p) &&
           std::less<const char*>()(p, base + data_.Capacity());
}

bool CPDFStream::AppendData(const char* data, int32_t length) {
    if (length < 0 || (length > 0 && !data) || !LoadData()) return false;
    return data_.Append(data, length) && UpdateLength();
}

bool CPDFStream::AppendData(char c, int32_t count) {
    if (count < 0 || !LoadData()) return false;
    return data_.Append(c, count) && UpdateLength();
}

bool CPDFStream::SetData(const char* data, int32_t length) {
    if (length < 0 || (length > 0 && !data)) return false;
    srcOffset_ = srcLength_ = -1;
    return data_.Assign(data, length) && UpdateLength();
}

bool CPDFStream::SetData(char c, int32_t count) {
    if (count < 0) return false;
    srcOffset_ = srcLength_ = -1;
    return data_.Fill(c, count) && UpdateLength();
}

bool CPDFStream::InsertData(int32_t position, const char* data, int32_t length) {
    if (length <= 0 || !data) return true;
    if (position < -1) return true;
    if (!LoadData()) return false;
    const int32_t old = data_.Length();
    if (position == -1 || position >= old) return AppendData(data, length);
    if (Owns(data)) {
        const std::string copy(data, static_cast<size_t>(length));
        return InsertData(position, copy.data(), length);
    }
    // Grow by the inserted length, then open the gap and fill it.
    if (!data_.Append(data, length)) return false;
    char* p = data_.Data();
    std::memmove(p + position + length, p + position, static_cast<size_t>(old - position));
    std::memcpy(p + position, data, static_cast<size_t>(length));
    return UpdateLength();
}

void CPDFStream::ClearStream() {
    RemoveAll();
    data_.Clear();
    srcOffset_ = srcLength_ = -1;
}

CPDFNumber* CPDFStream::Get_Length(CPDFObjRef* ref) {
    return GetAs<CPDFNumber>(doc_, kLength, ref);
}

bool CPDFStream::Set_Length(int32_t length) {
    return SetObj(doc_, kLength, std::make_unique<CPDFInt>(length), false);
}

CPDFObject* CPDFStream::Get_Filter(CPDFObjRef* ref) {
    return GetObj(doc_, kFilter, ref);
}

bool CPDFStream::Set_Filter(std::unique_ptr<CPDFName> name) {
    return SetObj(doc_, kFilter, std::move(name), false);
}

bool CPDFStream::Set_Filter(std::unique_ptr<CPDFArray> names) {
    return SetObj(doc_, kFilter, std::move(names), false);
}

CPDFObject* CPDFStream::Get_DecodeParms(CPDFObjRef* ref) {
    return GetObj(doc_, kDecodeParms, ref);
}

bool CPDFStream::Set_DecodeParms(std::unique_ptr<CPDFDict> parms) {
    return SetObj(doc_, kDecodeParms, std::move(parms), false);
}

bool CPDFStream::Set_DecodeParms(std::unique_ptr<CPDFArray> parms) {
    return SetObj(doc_, kDecodeParms, std::move(parms), false);
}

CPDFObject* CPDFStream::Get_F(CPDFObjRef* ref) {
    return GetObj(doc_, kF, ref);
}

bool CPDFStream::Set_F(std::unique_ptr<CPDFObject> spec, bool indirect, CPDFObjRef* ref) {
    return SetObj(doc_, kF, std::move(spec), indirect, ref);
}

}  // namespace corvina
