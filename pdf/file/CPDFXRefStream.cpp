#include "pdf/file/CPDFXRefStream.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "pdf/file/CPDFTrailer.h"
#include "pdf/file/CPDFXRef.h"
#include "pdf/file/IndirectValue.h"
#include "pdf/io/DecimalText.h"
#include "pdf/io/InStream.h"
#include "pdf/io/Limits.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CopyAsWritten.h"
#include "pdf/object/Factors.h"
#include "pdf/stream/CPDFStream.h"

namespace corvina {

namespace {

// The keys that describe the stream itself; the rest of the dictionary is the
// section's trailer (Size, Prev, Root, Info, ID, Encrypt, and what a producer
// keeps there of its own).
constexpr const char* kStreamKeys[] = {"Type",   "W",  "Index", "Filter",  "DecodeParms",
                                       "Length", "DL", "F",     "FFilter", "FDecodeParms"};
constexpr int kWidths[3] = {1, 4, 2};

[[noreturn]] void Fail(int32_t offset, const std::string& what) {
    throw CPDFException(
        "CPDFXRefStream", "Serialize", CPDFException::InvalidFormat,
        FormatFactor("cross-reference stream at offset %d: %s", offset, what.c_str()).c_str());
}

// A direct integer of the dictionary, or fallback when the key is absent.
int64_t Integer(CPDFDict& dict, const char* key, int64_t fallback, int32_t offset) {
    CPDFObject* v = dict.FindDirect(key);
    if (!v) {
        if (dict.Has(key)) Fail(offset, std::string("/") + key + " is not a direct integer");
        return fallback;
    }
    if (!v->Is(CPDFObject::Integer | CPDFObject::Number))
        Fail(offset, std::string("/") + key + " is not an integer");
    return static_cast<CPDFNumber*>(v)->IntValue();
}

bool IsStreamKey(const CPDFName& key) {
    for (const char* k : kStreamKeys)
        if (key.Equals(k)) return true;
    return false;
}

// The trailer's entries of a dictionary copied into another, references kept
// as references.
void CopyEntries(CPDFDict& from, CPDFDict& dict) {
    for (CPDFDict::Node* node = from.First(); node; node = CPDFDict::Next(node)) {
        if (IsStreamKey(node->key)) continue;
        if (!node->value) continue;
        std::unique_ptr<CPDFAtom> copy = detail::CopyAsWritten(node->value);
        if (!copy || !dict.Insert(node->key, std::move(copy)))
            throw CPDFException("CPDFXRefStream", "Serialize", CPDFException::InternalError,
                                nullptr);
    }
}

uint64_t Field(const unsigned char* p, int width) {
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) v = (v << 8) | p[i];
    return v;
}

}  // namespace

void CPDFXRefStream::Serialize(CPDFObjHolder* doc, InStream& in, int32_t offset, CPDFXRef& table,
                               CPDFTrailer* trailer) {
    char num[limits::kTokenSize], gen[limits::kTokenSize], word[limits::kTokenSize];
    if (!in.ReadToken(num, sizeof num) || !in.ReadToken(gen, sizeof gen) ||
        !in.ReadToken(word, sizeof word) || !detail::StartsWithDigit(num) ||
        !detail::StartsWithDigit(gen) || std::strcmp(word, "obj") != 0)
        Fail(offset, "no object starts here");
    const long n = detail::ParseDecimal(num);
    if (n < 1 || n > limits::kMaxObjNum) Fail(offset, FormatFactor("object number %s", num));
    objNum_ = static_cast<int32_t>(n);

    // Its dictionary holds only direct values and its data is never
    // encrypted: it is read before any key or table exists.
    std::unique_ptr<CPDFObject> obj = detail::ReadIndirectValue(doc, in, nullptr);
    if (!obj || !obj->Is(CPDFObject::Stream)) Fail(offset, "not a stream");
    auto* stream = static_cast<CPDFStream*>(obj.get());
    if (!IsNameEqual(stream->FindDirect("Type"), "XRef")) Fail(offset, "/Type is not /XRef");

    CPDFArray* w = dynamic_cast<CPDFArray*>(stream->FindDirect("W"));
    if (!w || w->Count() != 3) Fail(offset, "/W is not an array of three widths");
    int widths[3];
    int row = 0;
    for (int i = 0; i < 3; ++i) {
        const CPDFObject* v = AsObject(w->GetAt(i));
        if (!v || !v->Is(CPDFObject::Integer | CPDFObject::Number))
            Fail(offset, "/W holds a value that is not a width");
        const int32_t width = static_cast<const CPDFNumber*>(v)->IntValue();
        if (width < 0 || width > limits::kMaxXRefFieldWidth)
            Fail(offset, FormatFactor("/W width %d is not 0 to %d bytes", width,
                                      limits::kMaxXRefFieldWidth));
        widths[i] = width;
        row += width;
    }
    if (row == 0) Fail(offset, "/W widths sum to 0");

    const int64_t size = Integer(*stream, "Size", -1, offset);
    if (size < 0) Fail(offset, "/Size is missing");
    if (size > limits::kMaxObjNum + 1)
        Fail(offset, FormatFactor("/Size %lld is past the largest object number %ld",
                                  static_cast<long long>(size), limits::kMaxObjNum));

    std::vector<std::pair<int64_t, int64_t>> ranges;
    if (CPDFObject* index = stream->FindDirect("Index")) {
        auto* list = dynamic_cast<CPDFArray*>(index);
        if (!list || list->Count() % 2 != 0) Fail(offset, "/Index is not an array of pairs");
        for (int i = 0; i < list->Count(); i += 2) {
            const CPDFObject* a = AsObject(list->GetAt(i));
            const CPDFObject* b = AsObject(list->GetAt(i + 1));
            if (!a || !b || !a->Is(CPDFObject::Integer | CPDFObject::Number) ||
                !b->Is(CPDFObject::Integer | CPDFObject::Number))
                Fail(offset, "/Index holds a value that is not an integer");
            const int64_t first = static_cast<const CPDFNumber*>(a)->IntValue();
            const int64_t count = static_cast<const CPDFNumber*>(b)->IntValue();
            if (first < 0 || count < 0 || first + count > size)
                Fail(offset,
                     FormatFactor("/Index range %lld %lld is past /Size %lld",
                                  static_cast<long long>(first), static_cast<long long>(count),
                                  static_cast<long long>(size)));
            ranges.emplace_back(first, count);
        }
    } else {
        ranges.emplace_back(0, size);
    }
    std::vector<std::pair<int64_t, int64_t>> sorted = ranges;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i].first < sorted[i - 1].first + sorted[i - 1].second)
            Fail(offset, FormatFactor("/Index ranges overlap at object %lld",
                                      static_cast<long long>(sorted[i].first)));

    CPDFException error;
    stream->SetDecodeLimit(limits::kMaxStructStreamBytes);
    if (!stream->DecodeAllFilter(&error)) throw error;
    const auto* data = reinterpret_cast<const unsigned char*>(stream->GetData());
    const int64_t length = stream->GetDataLength();
    int64_t rows = 0;
    for (const auto& r : ranges) rows += r.second;
    if (rows * row > length)
        Fail(offset,
             FormatFactor("/Index lists %lld entries of %d bytes, the data holds %lld bytes",
                          static_cast<long long>(rows), row, static_cast<long long>(length)));

    const unsigned char* p = data;
    for (const auto& [first, count] : ranges) {
        if (count > 0 && !table.Resize(static_cast<int32_t>(first + count - 1)))
            Fail(offset, "the table cannot grow");
        for (int64_t i = 0; i < count; ++i, p += row) {
            const int32_t objNum = static_cast<int32_t>(first + i);
            const uint64_t type = widths[0] ? Field(p, widths[0]) : 1;
            const uint64_t f2 = Field(p + widths[0], widths[1]);
            const uint64_t f3 = Field(p + widths[0] + widths[1], widths[2]);
            XRefEntry entry;
            entry.objNum = objNum;
            if (type == 0) {
                // A next-free number no table holds ends the list, as 0 does.
                const int32_t next =
                    f2 > static_cast<uint64_t>(limits::kMaxObjNum) ? 0 : static_cast<int32_t>(f2);
                if (objNum == 0) {
                    table.SetFreeHead(next);
                    continue;
                }
                entry.genNum = static_cast<int32_t>(std::min<uint64_t>(f3, limits::kMaxGen));
                entry.offset = next;
            } else if (type == 1) {
                if (f2 > static_cast<uint64_t>(INT32_MAX) || f3 > limits::kMaxGen)
                    Fail(offset, FormatFactor("object %d has offset %llu generation %llu", objNum,
                                              static_cast<unsigned long long>(f2),
                                              static_cast<unsigned long long>(f3)));
                entry.genNum = static_cast<int32_t>(f3);
                entry.offset = static_cast<int32_t>(f2);
                entry.inUse = true;
            } else if (type == 2) {
                if (f2 == 0 || f2 > static_cast<uint64_t>(limits::kMaxObjNum) ||
                    f3 > static_cast<uint64_t>(INT32_MAX))
                    Fail(offset, FormatFactor("object %d is in object stream %llu at index %llu",
                                              objNum, static_cast<unsigned long long>(f2),
                                              static_cast<unsigned long long>(f3)));
                if (static_cast<int32_t>(f2) == objNum)
                    Fail(offset, FormatFactor("object stream %d names itself", objNum));
                if (static_cast<int32_t>(f2) == objNum_)
                    Fail(offset, FormatFactor("object %d is in the cross-reference stream %d",
                                              objNum, objNum_));
                entry.offset = static_cast<int32_t>(f3);
                entry.stmNum = static_cast<int32_t>(f2);
                entry.inUse = true;
            } else {
                // Other types are reserved: such an entry refers to nothing.
                continue;
            }
            if (objNum == 0) continue;
            if (!table.SetEntry(entry)) Fail(offset, "the table cannot grow");
        }
    }

    if (trailer) {
        auto dict = std::make_unique<CPDFDict>();
        CopyEntries(*stream, *dict);
        trailer->AdoptStreamSection(std::move(dict), offset);
    }
}

void CPDFXRefStream::Write(OutStream& out, CPDFObjHolder* doc, const CPDFXRef& table,
                           CPDFTrailer& trailer, int32_t objNum, int32_t offset, bool compressed) {
    const int row = kWidths[0] + kWidths[1] + kWidths[2];
    std::string rows;
    auto index = std::make_unique<CPDFArray>();
    auto put = [&](int type, uint32_t f2, uint32_t f3) {
        const unsigned char bytes[7] = {
            static_cast<unsigned char>(type),     static_cast<unsigned char>(f2 >> 24),
            static_cast<unsigned char>(f2 >> 16), static_cast<unsigned char>(f2 >> 8),
            static_cast<unsigned char>(f2),       static_cast<unsigned char>(f3 >> 8),
            static_cast<unsigned char>(f3)};
        rows.append(reinterpret_cast<const char*>(bytes), row);
    };
    auto run = [&](int32_t start, int32_t count) {
        index->Push_Back(std::make_unique<CPDFInt>(start));
        index->Push_Back(std::make_unique<CPDFInt>(count));
        for (int32_t n = start; n < start + count; ++n) {
            if (n == 0) {
                put(0, static_cast<uint32_t>(table.FreeHead()), limits::kMaxGen);
                continue;
            }
            const XRefEntry* e = table.GetEntry(n);
            if (e->inUse && e->stmNum)
                put(2, static_cast<uint32_t>(e->stmNum), static_cast<uint32_t>(e->offset));
            else
                put(e->inUse ? 1 : 0, static_cast<uint32_t>(e->offset),
                    static_cast<uint32_t>(e->genNum));
        }
    };
    // The same runs as the classic table.
    table.ForEachRun(run);

    CPDFStream stream(doc);
    CopyEntries(trailer.Dict(), stream);
    stream.Insert("Type", std::make_unique<CPDFName>("XRef"));
    auto w = std::make_unique<CPDFArray>();
    for (int width : kWidths) w->Push_Back(std::make_unique<CPDFInt>(width));
    stream.Insert("W", std::move(w));
    stream.Insert("Index", std::move(index));
    if (compressed) {
        // Each row as its difference from the row above (PNG Up): offsets
        // that grow slowly become runs of zeros that Flate packs tightly.
        std::string up;
        up.reserve(rows.size() / row * (row + 1));
        for (size_t at = 0; at < rows.size(); at += row) {
            up.push_back(2);
            for (int i = 0; i < row; ++i)
                up.push_back(static_cast<char>(rows[at + i] - (at ? rows[at - row + i] : 0)));
        }
        rows.swap(up);
    }
    if (!stream.SetData(rows.data(), static_cast<int32_t>(rows.size())))
        throw CPDFException("CPDFXRefStream", "Write", CPDFException::InternalError, nullptr);
    if (compressed) {
        CPDFException error;
        if (!stream.EncodeFlate(&error)) throw error;
        auto parms = std::make_unique<CPDFDict>();
        parms->Insert("Columns", std::make_unique<CPDFInt>(row));
        parms->Insert("Predictor", std::make_unique<CPDFInt>(12));
        stream.Insert("DecodeParms", std::move(parms));
    }

    out.Printf("%ld 0 obj", static_cast<long>(objNum));
    out.WriteEol();
    // Never encrypted: a reader needs it before it has a key.
    stream.Serialize(out, nullptr);
    out.WriteEol();
    out.WriteText("endobj");
    out.WriteEol();
    out.WriteText("startxref");
    out.WriteEol();
    out.Printf("%ld", static_cast<long>(offset));
    out.WriteEol();
    out.WriteText("%%EOF");
    out.WriteEol();
}

}  // namespace corvina
