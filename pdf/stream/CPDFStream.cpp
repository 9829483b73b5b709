#include "pdf/stream/CPDFStream.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "pdf/io/InStream.h"
#include "pdf/io/Limits.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFObjHolder.h"
#include "pdf/object/DepthGuard.h"
#include "pdf/object/Factors.h"
#include "pdf/object/ObjectCrypt.h"
#include "pdf/stream/CPDFCryptSource.h"
#include "pdf/stream/CPDFMemSource.h"
#include "pdf/stream/CPDFRangeSource.h"

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

[[noreturn]] void Raise(int type, const char* factor) {
    throw CPDFException("CPDFStream", "Serialize", type, factor);
}
[[noreturn]] void RaiseIo() {
    Raise(CPDFException::InvalidFormat, factor::kIoError);
}

// Skips whitespace and comments; false when more than the bound go by.
bool SkipGap(InStream& in) {
    int used = 0;
    for (;;) {
        int c = in.Peek();
        if (c == '%') {
            while ((c = in.Peek()) >= 0 && c != '\r' && c != '\n') {
                in.Get();
                if (++used > limits::kMaxStreamGap) return false;
            }
            continue;
        }
        if (!InStream::IsWhitespace(c)) return true;
        in.Get();
        if (++used > limits::kMaxStreamGap) return false;
    }
}

// The crypt filter a stream's data goes through under crypt, or null when it
// is stored plain: a metadata stream of a document that leaves metadata
// clear, and a stream whose first filter is Crypt with the Identity filter
// (the default one). Only direct entries count: these are never indirect in
// practice, and a stream being written must not load other objects.
const detail::CryptFilter* StreamCrypt(const CPDFDict& dict, CryptKey crypt) {
    if (!crypt || crypt->streams.method == detail::CryptMethod::None) return nullptr;
    if (!crypt->encryptMetadata && IsNameEqual(dict.FindDirect("Type"), "Metadata")) return nullptr;
    const CPDFObject* filter = dict.FindDirect(kFilter);
    const CPDFObject* parms = dict.FindDirect(kDecodeParms);
    if (filter && filter->TypeCode() == CPDFObject::Array) {
        auto* names = static_cast<const CPDFArray*>(filter);
        filter = names->Count() > 0 ? AsObject(names->GetAt(0)) : nullptr;
        if (parms && parms->TypeCode() == CPDFObject::Array) {
            auto* list = static_cast<const CPDFArray*>(parms);
            parms = list->Count() > 0 ? AsObject(list->GetAt(0)) : nullptr;
        }
    }
    if (IsNameEqual(filter, "Crypt")) {
        const CPDFObject* name = parms && parms->TypeCode() == CPDFObject::Dictionary
                                     ? static_cast<const CPDFDict*>(parms)->FindDirect("Name")
                                     : nullptr;
        if (!name || IsNameEqual(name, "Identity")) return nullptr;
    }
    return &crypt->streams;
}

// A source encrypted for writing under one object's crypt filter.
class Encrypting {
public:
    Encrypting(CPDFStreamSource& src, const detail::CryptFilter& filter,
               const detail::ObjectCrypt& crypt)
        : stage_(src, filter, true, Iv(src.Length(), filter, crypt, iv_)) {}
    CPDFStreamSource& Source() {
        if (!stage_.Valid()) Raise(CPDFException::InvalidFormat, factor::kInvalidEncryptedData);
        return stage_;
    }

private:
    static const unsigned char* Iv(int32_t length, const detail::CryptFilter& filter,
                                   const detail::ObjectCrypt& crypt, unsigned char* iv) {
        detail::WriteIv(crypt, filter, &length, sizeof length, iv);
        return iv;
    }

    unsigned char iv_[detail::kAesBlock];
    CPDFCryptSource stage_;
};

// Hands the bytes of src from `from` on to sink in pieces of at most kPiece
// bytes, which sink may change; an I/O error when they cannot all be read.
template <class Sink>
void Pump(CPDFStreamSource& src, int32_t from, Sink&& sink) {
    char piece[kPiece];
    for (int32_t at = from; at < src.Length();) {
        const int n = src.Read(piece, at, std::min(src.Length() - at, kPiece));
        if (n <= 0) RaiseIo();
        sink(piece, n);
        at += n;
    }
}

// All of src into a buffer; false (the buffer empty) when it cannot be read.
bool Take(TempHugeString<char>& into, CPDFStreamSource& src) {
    into.Clear();
    const int32_t length = src.Length();
    if (length == 0) return true;
    if (!into.Fill(0, length)) return false;
    if (src.Read(into.Data(), 0, length) != length) {
        into.Clear();
        return false;
    }
    return true;
}

// The document's input serves every stream's deferred data; a read through
// it puts the position back for whoever else is reading.
class KeepPosition {
public:
    explicit KeepPosition(InStream& in) : in_(in), saved_(in.Tell()) {}
    ~KeepPosition() {
        if (saved_ >= 0 && in_.Tell() != saved_) in_.Seek(saved_);
    }
    KeepPosition(const KeepPosition&) = delete;
    KeepPosition& operator=(const KeepPosition&) = delete;

private:
    InStream& in_;
    const int saved_;
};

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Position of the "endstream" that ends the data: the first one followed by
// the word "endobj". Only for a Length that cannot be trusted.
int FindEnd(InStream& in) {
    char word[limits::kTokenSize];
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
        detail::DepthGuard guard(detail::DepthGuard::Length);
        if (guard.Exceeded()) {
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

std::optional<int32_t> CPDFStream::DeclaredLength(const CPDFObject* length) {
    if (!length || !length->Is(CPDFObject::Number | CPDFObject::Integer)) return std::nullopt;
    const auto* number = static_cast<const CPDFNumber*>(length);
    const double real = number->RealValue();
    if (number->IntValue() < 0 || real != std::floor(real)) return std::nullopt;
    return number->IntValue();
}

int CPDFStream::EndAfter(InStream& in, int start, int32_t length) {
    const long after = static_cast<long>(start) + length;
    if (after + kEndStreamLength > in.Length() || in.Seek(static_cast<int>(after)) != 0) return -1;
    int used = 0;
    for (int c = in.Peek(); InStream::IsWhitespace(c) || c == 0; c = in.Peek()) {
        if (++used > limits::kMaxStreamGap) return -1;
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
    char word[limits::kTokenSize];
    if (!in.ReadToken(word, sizeof word)) RaiseIo();
    if (std::strcmp(word, "stream") != 0)
        Raise(CPDFException::InvalidFormat, FormatFactor(factor::kInvalidToken, word).c_str());
    const int c = in.Get();
    if (c < 0) RaiseIo();
    if (c == '\r') {
        if (in.Peek() == '\n') in.Get();
    } else if (c != '\n') {
        Raise(CPDFException::InvalidFormat, FormatFactor(factor::kInvalidTokenChar, c).c_str());
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
    // Data under a key is never left deferred: a save writes it under the key
    // of the reference it is written as, which need not be the one read, and
    // the copy of deferred bytes (by the kernel or not) carries them through
    // unchanged. Deferred data is therefore always plain in its source.
    const detail::CryptFilter* filter = StreamCrypt(dict ? *dict : *this, crypt);
    encryptedLength_ = filter != nullptr;
    auto append = [&](char* piece, int n) {
        if (!data_.Append(piece, n)) Raise(CPDFException::RuntimeLibraryError, nullptr);
    };
    if (!filter && doc && &in == doc->GetInput()) {
        srcOffset_ = start;
        srcLength_ = taken;
    } else if (filter) {
        // Encrypted data ends where its length says: the line end before
        // "endstream" is not under the cipher and would decrypt to garbage.
        CPDFRangeSource range(in, start, dataLength);
        CPDFCryptSource plain(range, *filter, false);
        if (!plain.Valid()) Raise(CPDFException::InvalidFormat, factor::kInvalidEncryptedData);
        Pump(plain, 0, append);
    } else {
        CPDFRangeSource range(in, start, taken);
        Pump(range, 0, append);
    }
    if (in.Seek(end + kEndStreamLength) != 0) RaiseIo();
    if (dict) Swap(*dict);
    if (doc && !doc->IsFlushing()) DirectLength(length, lengthRef.IsSet(), dataLength);
    // The dictionary keeps what the file said; a copy of the data written
    // later says how long it really is.
    measuredLength_ = trusted ? -1 : dataLength;
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
    // Written with the Length it was found wrong about, the output would need
    // repair by its readers. Direct: a referenced Length may be written already.
    if (IsDeferred() && measuredLength_ >= 0) {
        if (!Set_Length(measuredLength_)) Raise(CPDFException::InternalError, nullptr);
        measuredLength_ = -1;
    }
    const detail::CryptFilter* filter = StreamCrypt(*this, crypt);
    // Data in memory read through a cipher, or written through one, may
    // differ in length from what Length says (AES adds an IV and padding).
    const bool aes = filter && filter->method == detail::CryptMethod::AES;
    if ((aes || encryptedLength_) && !IsDeferred()) {
        int32_t written = data_.Length();
        if (aes) {
            CPDFMemSource mem(data_.Text(), data_.Length());
            written = CPDFCryptSource(mem, *filter, true).Length();
        }
        const CPDFObject* now = FindDirect(kLength);
        const bool same = now && now->Is(Number | Integer) &&
                          static_cast<const CPDFNumber*>(now)->IntValue() == written;
        if (!same && !Set_Length(written)) Raise(CPDFException::InternalError, nullptr);
        encryptedLength_ = false;
    }
    CPDFDict::Serialize(out, crypt);
    out.WriteEol();
    out.WriteText("stream\r\n");
    writtenAt_ = -1;
    if (IsDeferred() && !filter) {
        // The same bytes now also lie here in the output (see AfterSave).
        const long at = out.Tell();
        if (at >= 0 && at <= INT32_MAX - srcLength_) writtenAt_ = static_cast<int32_t>(at);
        // Already ends with whatever line end preceded "endstream" in the
        // source. The kernel copies large ranges file to file where it can;
        // the rest goes through the document's input.
        InStream* in = doc_ ? doc_->GetInput() : nullptr;
        if (!in) RaiseIo();
        KeepPosition keep(*in);
        CPDFRangeSource src(*in, srcOffset_, srcLength_);
        long copied = 0;
        // Small data is most often still in the input's buffer, which beats
        // two system calls (flushing the output, then the copy).
        if (src.Length() >= kKernelCopy && src.Descriptor() >= 0)
            copied = out.CopyFrom(src.Descriptor(), src.FileOffset(0), src.Length());
        Pump(src, static_cast<int32_t>(copied), [&](char* piece, int n) { out.Write(piece, n); });
    } else {
        char last = '\n';  // nothing written needs no line end
        // The data in memory stays plain; only the written copy is encrypted.
        auto emit = [&](char* piece, int n) {
            out.Write(piece, n);
            last = piece[n - 1];
        };
        if (IsDeferred()) {
            // Nothing to read needs no input.
            InStream* in = doc_ ? doc_->GetInput() : nullptr;
            if (!in && srcLength_ > 0) RaiseIo();
            if (in) {
                KeepPosition keep(*in);
                CPDFRangeSource range(*in, srcOffset_, srcLength_);
                Pump(Encrypting(range, *filter, *crypt).Source(), 0, emit);
            }
        } else {
            CPDFMemSource mem(data_.Text(), data_.Length());
            if (filter) {
                Pump(Encrypting(mem, *filter, *crypt).Source(), 0, emit);
            } else if (mem.Length() > 0) {
                out.Write(mem.Data(), mem.Length());
                last = mem.Data()[mem.Length() - 1];
            }
        }
        if (!IsLineEnd(last)) out.WriteEol();
    }
    out.WriteText(kEndStream);
}

// Deferred data is read through the document's own input: it is open
// already, and a seek on it costs far less than opening a window on the file
// for every stream loaded or written.
bool CPDFStream::ReadSource(TempHugeString<char>& into) const {
    into.Clear();
    InStream* in = doc_ ? doc_->GetInput() : nullptr;
    if (!in) return false;
    KeepPosition keep(*in);
    CPDFRangeSource src(*in, srcOffset_, srcLength_);
    return Take(into, src);
}

bool CPDFStream::AfterSave(bool readsOutput, bool offsetsKept) {
    const int32_t at = writtenAt_;
    writtenAt_ = -1;
    if (!IsDeferred()) return true;
    if (!readsOutput) return LoadData();
    if (at >= 0) {
        srcOffset_ = at;
        return true;
    }
    return offsetsKept || LoadData();
}

void CPDFStream::TakeStream(CPDFStream& from) {
    // Deferred data is read through the document it came from.
    doc_ = from.doc_;
    Swap(from);
    data_.Swap(from.data_);
    std::swap(srcOffset_, from.srcOffset_);
    std::swap(srcLength_, from.srcLength_);
    std::swap(measuredLength_, from.measuredLength_);
    from.data_.Clear();
    from.srcOffset_ = from.srcLength_ = from.measuredLength_ = -1;
    writtenAt_ = -1;
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
        copy->encryptedLength_ = encryptedLength_;
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
