#include "pdf/stream/CPDFStream.h"

#include <algorithm>
#include <cmath>
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
#include "pdf/object/CPDFNumber.h"
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
constexpr int kKernelCopy = 16384;
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
// the word "endobj". Only for a Length that cannot be trusted.
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

// The declared data length: a non-negative whole number, direct or through a
// reference; nothing otherwise.
std::optional<int32_t> DeclaredLength(const CPDFObject* length) {
    if (!length || !length->Is(CPDFObject::Number | CPDFObject::Integer)) return std::nullopt;
    const auto* number = static_cast<const CPDFNumber*>(length);
    const double real = number->RealValue();
    if (number->IntValue() < 0 || real != std::floor(real)) return std::nullopt;
    return number->IntValue();
}

// Position of the "endstream" that follows the first length bytes of the data
// after optional white space, as readers take it; -1 when the keyword is not
// there (the Length is wrong) and the end has to be searched for.
int EndAfter(InStream& in, int start, int32_t length) {
    const long after = static_cast<long>(start) + length;
    if (after + kEndStreamLength > in.Length() || in.Seek(static_cast<int>(after)) != 0) return -1;
    int used = 0;
    for (int c = in.Peek(); InStream::IsWhitespace(c) || c == 0; c = in.Peek()) {
        if (++used > kMaxGap) return -1;
        in.Get();
    }
    const int e = in.Tell();
    char word[kEndStreamLength];
    if (in.Read(word, kEndStreamLength) != kEndStreamLength ||
        std::memcmp(word, kEndStream, kEndStreamLength) != 0)
        return -1;
    // "endstreamX" is another word.
    const int next = in.Peek();
    if (next >= 0 && !InStream::IsWhitespace(next) && !InStream::IsDelimiter(next) && next != '%' &&
        next != 0)
        return -1;
    return e;
}

// The data found by the search less the line end before "endstream", which
// the data keeps but Length does not count.
int32_t MeasuredLength(InStream& in, int start, int end) {
    int length = end - start;
    if (length > 0 && in.Seek(end - 1) == 0 && in.Get() == '\n') {
        --length;
        if (length > 0 && in.Seek(end - 2) == 0 && in.Get() == '\r') --length;
    } else if (length > 0 && in.Seek(end - 1) == 0 && in.Get() == '\r') {
        --length;
    }
    return length;
}

// Length, resolved within the depth bound for Length chains; null when it is
// absent or cannot be resolved. While the document is being written it may
// hold objects already written and released, so a referenced Length is then
// read for this stream only (into loaded) instead of being kept. Loading
// another object moves the document's input; the position is restored.
CPDFObject* ResolveLength(CPDFObjHolder* doc, InStream& in, CPDFDict& entries, CPDFObjRef& ref,
                          std::unique_ptr<CPDFObject>& loaded) {
    CPDFAtom* atom = entries.Find(kLength);
    if (!atom) return nullptr;
    if (atom->Kind() != CPDFAtom::RefKind) return entries.GetObj(doc, kLength, &ref);
    ref = *static_cast<CPDFObjRef*>(atom);
    if (!doc) return nullptr;
    const int pos = in.Tell();
    CPDFObject* length = nullptr;
    try {
        DepthGuard guard;
        if (lengthDepth > kMaxLengthDepth) {
            // Too deep: unresolvable.
        } else if (!doc->IsFlushing()) {
            length = doc->GetObj(ref);
        } else {
            length = doc->PeekObj(ref, &loaded);
        }
    } catch (const CPDFException&) {
        length = nullptr;
    } catch (const std::bad_alloc&) {
        length = nullptr;
    }
    // A Length that cannot be resolved is not an error of the document's
    // operation: the data's end is then searched for.
    if (!length) doc->GetLastError().Clear();
    if (pos < 0 || in.Seek(pos) != 0) RaiseIo();
    return length;
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
    // Length is trusted when "endstream" stands right after that many bytes;
    // otherwise (absent, unresolvable, negative, beyond the file, wrong) the
    // end is searched for, as readers do.
    CPDFObjRef lengthRef;
    std::unique_ptr<CPDFObject> loadedLength;
    CPDFObject* length = ResolveLength(doc, in, dict ? *dict : *this, lengthRef, loadedLength);
    const std::optional<int32_t> declared = DeclaredLength(length);
    int end = declared ? EndAfter(in, start, *declared) : -1;
    const bool trusted = end >= 0;
    if (!trusted) {
        if (in.Seek(start) != 0) RaiseIo();
        end = FindEnd(in);
    }
    const int32_t dataLength = trusted ? *declared : MeasuredLength(in, start, end);
    const int taken = end - start;
    data_.Clear();
    srcOffset_ = srcLength_ = -1;
    if (!crypt && doc && &in == doc->GetInput()) {
        srcOffset_ = start;
        srcLength_ = taken;
    } else {
        std::optional<detail::RC4> cipher = Cipher(crypt);
        if (in.Seek(start) != 0) RaiseIo();
        char piece[kPiece];
        for (int left = taken; left > 0;) {
            const int n = in.Read(piece, std::min(left, kPiece));
            if (n <= 0) RaiseIo();
            if (cipher) cipher->Process(reinterpret_cast<unsigned char*>(piece), n);
            if (!data_.Append(piece, n)) Raise(CPDFException::RuntimeLibraryError, nullptr);
            left -= n;
        }
    }
    if (in.Seek(end + kEndStreamLength) != 0) RaiseIo();
    if (dict) Swap(*dict);
    if (doc && !doc->IsFlushing()) DirectLength(length, lengthRef.IsSet(), dataLength);
}

void CPDFStream::DirectLength(const CPDFObject* length, bool indirect, int32_t dataLength) {
    bool ok = length != nullptr;
    // The value set is the length of the data taken: the declared one when it
    // was trusted, the one measured by the search when it was wrong.
    try {
        if (ok && indirect && length->Is(Number | Integer)) ok = Set_Length(dataLength);
    } catch (const CPDFException&) {
        ok = false;
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) Raise(CPDFException::InternalError, nullptr);
}

void CPDFStream::Serialize(OutStream& out, CryptKey crypt) {
    CPDFDict::Serialize(out, crypt);
    out.WriteEol();
    out.WriteText("stream\r\n");
    if (IsDeferred() && !crypt) {
        // Already ends with whatever line end preceded "endstream" in the
        // source. The kernel copies large ranges file to file where it can;
        // the rest goes through the document's input.
        InStream* in = doc_ ? doc_->GetInput() : nullptr;
        if (!in) RaiseIo();
        long copied = 0;
        // Small data is most often still in the input's buffer, which beats
        // two system calls (flushing the output, then the copy).
        if (srcLength_ >= kKernelCopy && in->Descriptor() >= 0)
            copied = out.CopyFrom(in->Descriptor(), in->FileOffset(srcOffset_), srcLength_);
        const int done = static_cast<int>(copied);
        CopySource(srcOffset_ + done, srcLength_ - done,
                   [&](char* piece, int n) { out.Write(piece, n); });
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
            CopySource(srcOffset_, srcLength_, emit);
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

// The rest of the writer's copies go through the document's own input: it
// is open already, and a seek on it costs far less than opening a window on
// the file for every stream of a save.
void CPDFStream::CopySource(int offset, int length,
                            const std::function<void(char*, int)>& sink) const {
    if (length <= 0) return;
    InStream* in = doc_ ? doc_->GetInput() : nullptr;
    if (!in) RaiseIo();
    const int saved = in->Tell();
    if (in->Seek(offset) != 0) RaiseIo();
    char piece[kPiece];
    for (int left = length; left > 0;) {
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
