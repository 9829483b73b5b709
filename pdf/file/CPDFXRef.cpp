#include "pdf/file/CPDFXRef.h"

#include "pdf/file/SlotGrowth.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "pdf/io/DecimalText.h"
#include "pdf/io/InStream.h"
#include "pdf/io/Limits.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/Factors.h"

namespace corvina {

namespace {

// Object 0 is written with the largest generation: it is never reused.
constexpr int kFreeHeadGen = 65535;
// Offset, generation and type with one separator each.
constexpr long kMinLineBytes = 18;

[[noreturn]] void Raise(int type, const char* factor) {
    throw CPDFException("CPDFXRef", "Serialize", type, factor);
}
[[noreturn]] void RaiseIo() {
    Raise(CPDFException::InvalidFormat, factor::kIoError);
}
[[noreturn]] void RaiseToken(const char* word) {
    Raise(CPDFException::InvalidFormat, FormatFactor(factor::kInvalidToken, word).c_str());
}

bool IsDigits(const char* word) {
    if (!*word) return false;
    for (const char* p = word; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    return true;
}

// Decimal value of a word of digits; saturates instead of overflowing.
long Decimal(const char* word) {
    return detail::ParseDecimal(word);
}

// Digits at p, n of them, as a number.
long Digits(const char* p, int n) {
    long value = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9') return -1;
        value = value * 10 + (p[i] - '0');
    }
    return value;
}

// An entry line in the form every writer uses ("0000012345 00000 n" and
// white space), read straight from the buffer: most tables are tens of
// thousands of them. Anything else (comments, other spacing, an offset
// beyond 32 bits, the buffer ending) is left for the word-by-word reader,
// which takes or refuses it as before.
bool PlainLine(InStream& in, long* offset, long* gen, bool* inUse) {
    constexpr int kLine = 18;  // the entry without its end of line
    int n = 0;
    const char* p = in.Window(&n);
    if (!p || n <= kLine || p[10] != ' ' || p[16] != ' ' || (p[17] != 'n' && p[17] != 'f') ||
        !InStream::IsWhitespace(static_cast<unsigned char>(p[kLine])))
        return false;
    const long o = Digits(p, 10);
    const long g = Digits(p + 11, 5);
    if (o < 0 || o > INT32_MAX || g < 0) return false;
    *offset = o;
    *gen = g;
    *inUse = p[17] == 'n';
    in.Skip(kLine);
    return true;
}

void WriteLine(OutStream& out, int32_t offset, int32_t gen, bool inUse) {
    // "%010d %05d %c \n": twenty bytes for the usual values.
    char line[2 * detail::kDecimalMax + 6];
    char* end = detail::AppendPadded(line, offset, 10);
    *end++ = ' ';
    end = detail::AppendPadded(end, gen, 5);
    *end++ = ' ';
    *end++ = inUse ? 'n' : 'f';
    *end++ = ' ';
    *end++ = '\n';
    out.Write(line, static_cast<int>(end - line));
}

}  // namespace

XRefEntry* CPDFXRef::Slot(int32_t objNum) {
    if (objNum < base_ || static_cast<size_t>(objNum - base_) >= slots_.size()) return nullptr;
    XRefEntry& e = slots_[static_cast<size_t>(objNum - base_)];
    return e.objNum == -1 ? nullptr : &e;
}

const XRefEntry* CPDFXRef::Slot(int32_t objNum) const {
    return const_cast<CPDFXRef*>(this)->Slot(objNum);
}

bool CPDFXRef::Cover(int32_t lo, int32_t hi) {
    if (lo < 1 || hi < lo) return false;
    if (slots_.empty()) {
        base_ = lo;
    } else if (lo < base_) {
        try {
            slots_.insert(slots_.begin(), static_cast<size_t>(base_ - 1), XRefEntry{});
        } catch (const std::bad_alloc&) {
            return false;
        }
        base_ = 1;
    }
    return detail::GrowSlots(slots_, static_cast<size_t>(hi - base_) + 1, 100);
}

XRefEntry* CPDFXRef::Place(int32_t objNum) {
    if (!Cover(objNum, objNum)) return nullptr;
    return &slots_[static_cast<size_t>(objNum - base_)];
}

void CPDFXRef::Serialize(CPDFObjHolder* doc, InStream& in) {
    doc_ = doc;
    ReadSection(in);
}

void CPDFXRef::ReadSection(InStream& in) {
    char word[limits::kTokenSize];
    auto next = [&]() {
        if (!in.ReadToken(word, sizeof word)) RaiseIo();
    };

    next();
    if (std::strcmp(word, "xref") != 0) RaiseToken(word);
    for (;;) {
        const int mark = in.Tell();
        next();
        if (std::strcmp(word, "trailer") == 0) {
            if (mark < 0 || in.Seek(mark) != 0) RaiseIo();
            return;
        }
        if (!IsDigits(word)) RaiseToken(word);
        const long first = Decimal(word);
        if (first > limits::kMaxObjNum) RaiseToken(word);
        next();
        if (!IsDigits(word)) RaiseToken(word);
        const long count = Decimal(word);
        // An empty subsection ("0 0") lists nothing; hybrid updates whose
        // objects all lie in the stream write one.
        if (count == 0) continue;
        if (count > limits::kMaxObjNum + 1 || first + count - 1 > limits::kMaxObjNum)
            RaiseToken(word);
        // Grow only: subsections in any order keep what was read before.
        Resize(static_cast<int32_t>(first + count - 1));
        // The table takes the whole subsection at once when the input can
        // hold its lines (18 bytes at least each); a header claiming more
        // than the file holds grows the table line by line as read.
        const long room = static_cast<long>(in.Length()) - in.Tell();
        if (count <= room / kMinLineBytes + 1 && first + count - 1 > 0 &&
            !Cover(first > 0 ? static_cast<int32_t>(first) : 1,
                   static_cast<int32_t>(first + count - 1))) {
            errno = ENOMEM;
            Raise(CPDFException::RuntimeLibraryError, nullptr);
        }

        for (long i = 0; i < count; ++i) {
            long offset = 0, gen = 0;
            bool inUse = false;
            in.SkipWhitespaceAndComments();
            if (!PlainLine(in, &offset, &gen, &inUse)) {
                next();
                if (std::strlen(word) != 10 || !IsDigits(word)) RaiseToken(word);
                offset = Decimal(word);
                if (offset > INT32_MAX) RaiseToken(word);
                next();
                if (std::strlen(word) != 5 || !IsDigits(word)) RaiseToken(word);
                gen = Decimal(word);
                next();
                if (std::strcmp(word, "n") == 0)
                    inUse = true;
                else if (std::strcmp(word, "f") == 0)
                    inUse = false;
                else
                    RaiseToken(word);
            }

            const int32_t objNum = static_cast<int32_t>(first + i);
            if (objNum == 0) {
                freeHead_ = static_cast<int32_t>(offset);
                continue;
            }
            XRefEntry* slot = Place(objNum);
            if (!slot) {
                errno = ENOMEM;
                Raise(CPDFException::RuntimeLibraryError, nullptr);
            }
            *slot =
                XRefEntry{objNum, static_cast<int32_t>(gen), static_cast<int32_t>(offset), inUse};
        }
    }
}

void CPDFXRef::Serialize(OutStream& out) {
    out.WriteText("xref");
    out.WriteEol();

    auto writeRun = [&](int32_t start, int32_t count) {
        out.WriteInt(start);
        out.WriteChar(' ');
        out.WriteInt(count);
        out.WriteEol();
        for (int32_t n = start; n < start + count; ++n) {
            if (n == 0) {
                WriteLine(out, freeHead_, kFreeHeadGen, false);
            } else {
                const XRefEntry* e = Slot(n);
                WriteLine(out, e->offset, e->genNum, e->inUse);
            }
        }
    };

    ForEachRun(writeRun);
}

bool CPDFXRef::Create(CPDFObjHolder* doc, const CPDFXRef* source) {
    doc_ = doc;
    slots_.clear();
    base_ = 1;
    size_ = 0;
    freeHead_ = 0;
    if (!source) return true;
    freeHead_ = source->freeHead_;
    size_ = source->size_;
    // Ascending, so that the storage starts at the lowest free number.
    for (const XRefEntry& e : source->slots_) {
        if (e.objNum == -1 || e.inUse) continue;
        XRefEntry* slot = Place(e.objNum);
        if (!slot) return false;
        *slot = e;
    }
    // Real files break the list: a hybrid file's table lists free what its
    // stream has in use, an update's stream names a head it does not hold.
    // Freeing and reusing numbers need a sound one, so it is made anew.
    if (!FreeListSound()) RelinkFree();
    return true;
}

bool CPDFXRef::FreeListSound() const {
    int32_t cur = freeHead_;
    for (size_t steps = 0; cur != 0; ++steps) {
        const XRefEntry* c = GetEntry(cur);
        if (!c || c->inUse || steps > slots_.size()) return false;
        cur = c->offset;
    }
    return true;
}

void CPDFXRef::RelinkFree() {
    int32_t* link = &freeHead_;
    for (XRefEntry& e : slots_) {
        if (e.objNum == -1 || e.inUse || e.objNum > size_) continue;
        *link = e.objNum;
        link = &e.offset;
    }
    *link = 0;
}

XRefEntry* CPDFXRef::GetEntry(int32_t objNum) {
    return objNum > size_ ? nullptr : Slot(objNum);
}

const XRefEntry* CPDFXRef::GetEntry(int32_t objNum) const {
    return objNum > size_ ? nullptr : Slot(objNum);
}

bool CPDFXRef::AddEntry(int32_t* objNum) {
    if (size_ >= INT32_MAX) return false;
    const int32_t n = size_ + 1;
    XRefEntry* slot = Place(n);
    if (!slot) return false;
    *slot = XRefEntry{n, 0, 0, true};
    size_ = n;
    if (objNum) *objNum = n;
    return true;
}

bool CPDFXRef::SetEntry(const XRefEntry& entry) {
    if (entry.objNum <= 0 || entry.objNum > size_) return false;
    XRefEntry* slot = Place(entry.objNum);
    if (!slot) return false;
    *slot = entry;
    return true;
}

bool CPDFXRef::UpdateEntry(int32_t objNum) {
    XRefEntry* e = GetEntry(objNum);
    if (!e) return false;
    if (e->inUse) return true;
    // A list read from a file may loop or run through entries in use; the step
    // bound and the checks turn that into a plain failure.
    int32_t* link = &freeHead_;
    int32_t cur = freeHead_;
    for (size_t steps = 0; cur != 0 && steps <= slots_.size(); ++steps) {
        if (cur == objNum) {
            *link = e->offset;
            e->offset = 0;
            e->inUse = true;
            return true;
        }
        XRefEntry* c = Slot(cur);
        if (!c || c->inUse) return false;
        link = &c->offset;
        cur = c->offset;
    }
    return false;
}

int CPDFXRef::FreeEntry(int32_t objNum) {
    XRefEntry* e = GetEntry(objNum);
    if (!e) return 0;
    if (!e->inUse) return 1;
    int32_t* link = &freeHead_;
    int32_t cur = freeHead_;
    size_t steps = 0;
    while (cur != 0 && cur < objNum) {
        XRefEntry* c = Slot(cur);
        if (!c || c->inUse || ++steps > slots_.size()) return 0;
        link = &c->offset;
        cur = c->offset;
    }
    // An entry in use cannot be on the list; meeting it means the list is broken.
    if (cur == objNum) return 0;
    e->offset = cur;
    // A generation of 65535 is final: it must not wrap past five digits.
    if (e->genNum < limits::kMaxGen) ++e->genNum;
    e->inUse = false;
    // A number freed is no longer in any object stream.
    e->stmNum = 0;
    *link = objNum;
    return 1;
}

bool CPDFXRef::Resize(int32_t size) {
    if (size < 0) return false;
    if (size > size_) size_ = size;
    return true;
}

bool CPDFXRef::Complete(const CPDFXRef& stream) {
    const int32_t stored = stream.HighestStored();
    for (int32_t n = stream.base_; n <= stream.size_ && n <= stored; ++n) {
        const XRefEntry* e = stream.Slot(n);
        if (!e) continue;
        const XRefEntry* mine = GetEntry(n);
        if (mine && (mine->inUse || !e->inUse)) continue;
        if (!Resize(n) || !SetEntry(*e)) return false;
    }
    return true;
}

XRefEntry* CPDFXRef::TakeFreeHead() {
    if (freeHead_ == 0) return nullptr;
    XRefEntry* e = GetEntry(freeHead_);
    if (!e || e->inUse) return nullptr;
    freeHead_ = e->offset;
    e->offset = 0;
    e->inUse = true;
    return e;
}

}  // namespace corvina
