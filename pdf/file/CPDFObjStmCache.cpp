#include "pdf/file/CPDFObjStmCache.h"

#include <cstring>
#include <string>

#include "pdf/io/DecimalText.h"
#include "pdf/io/Limits.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/stream/CPDFStream.h"
#include "pdf/stream/StrLoad.h"

namespace corvina {

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw CPDFException("CPDFObjStmCache", "Load", CPDFException::InvalidFormat, what.c_str());
}

// The object as an object stream, or a refusal naming what it is instead.
CPDFStream* AsObjStm(CPDFObject* obj, int32_t num) {
    if (!obj || !obj->Is(CPDFObject::Stream))
        Fail(FormatFactor("object %d is not an object stream", num));
    auto* stream = static_cast<CPDFStream*>(obj);
    CPDFObject* type = stream->FindDirect("Type");
    if (IsNameEqual(type, "XRef"))
        Fail(FormatFactor("object %d is a cross-reference stream, not an object stream", num));
    if (!IsNameEqual(type, "ObjStm")) Fail(FormatFactor("object %d is not an object stream", num));
    return stream;
}

int32_t ExtendsOf(CPDFStream& stream) {
    const CPDFAtom* atom = stream.Find("Extends");
    if (!atom || atom->Kind() != CPDFAtom::RefKind) return 0;
    return static_cast<const CPDFObjRef*>(atom)->objNum;
}

}  // namespace

struct CPDFObjStmCache::Decoded {
    int32_t stmNum = 0;
    uint64_t used = 0;
    std::unique_ptr<CPDFObject> stream;
    const char* data = nullptr;
    int64_t length = 0;
    int64_t first = 0;
    // Object number and offset from /First of each object, in stream order.
    std::vector<std::pair<int32_t, int64_t>> objects;
};

CPDFObjStmCache::CPDFObjStmCache() = default;
CPDFObjStmCache::~CPDFObjStmCache() = default;

std::vector<int32_t> CPDFObjStmCache::Members(CPDFObjHolder* doc, int32_t stmNum,
                                              const Fetch& fetch) {
    const Decoded& d = Get(doc, stmNum, fetch);
    std::vector<int32_t> numbers;
    numbers.reserve(d.objects.size());
    for (const auto& object : d.objects) numbers.push_back(object.first);
    return numbers;
}

void CPDFObjStmCache::Clear() {
    slots_.clear();
}

const char* CPDFObjStmCache::Locate(CPDFObjHolder* doc, int32_t objNum, int32_t stmNum,
                                    int32_t* index, const Fetch& fetch, int32_t* length) {
    Decoded& d = Get(doc, stmNum, fetch);
    int32_t at = *index;
    const char* bytes = Span(d, objNum, &at, length);
    *index = at;
    return bytes;
}

const char* CPDFObjStmCache::Span(Decoded& d, int32_t objNum, int32_t* where, int32_t* length) {
    const int32_t stmNum = d.stmNum;
    int32_t index = *where;
    // The stream's own header says where its objects lie; an index that
    // misses (past /N, or at another object) is looked up there, as readers
    // do, and only an object the header does not list fails.
    const bool listed = index >= 0 && static_cast<size_t>(index) < d.objects.size();
    if (!listed || d.objects[index].first != objNum) {
        int32_t at = -1;
        for (size_t i = 0; i < d.objects.size() && at < 0; ++i)
            if (d.objects[i].first == objNum) at = static_cast<int32_t>(i);
        if (at < 0 && !listed)
            Fail(FormatFactor("index %d is past /N %d of object stream %d", index,
                              static_cast<int>(d.objects.size()), stmNum));
        if (at < 0)
            Fail(FormatFactor("object stream %d holds object %d at index %d, not object %d", stmNum,
                              d.objects[index].first, index, objNum));
        index = at;
    }
    const int64_t start = d.first + d.objects[index].second;
    const int64_t end = static_cast<size_t>(index) + 1 < d.objects.size()
                            ? d.first + d.objects[index + 1].second
                            : d.length;
    if (start > d.length || end > d.length || end < start)
        Fail(FormatFactor("object %d lies past the data of object stream %d", objNum, stmNum));
    *where = index;
    *length = static_cast<int32_t>(end - start);
    return d.data + start;
}

std::unique_ptr<CPDFObject> CPDFObjStmCache::Load(CPDFObjHolder* doc, int32_t objNum,
                                                  int32_t stmNum, int32_t index,
                                                  const Fetch& fetch) {
    int32_t length = 0;
    const char* bytes = Locate(doc, objNum, stmNum, &index, fetch, &length);
    // The input ends where the next object begins: an object that would run
    // into it does not parse.
    StrLoad in;
    if (!in.Open(bytes, length))
        throw CPDFException("CPDFObjStmCache", "Load", CPDFException::InternalError,
                            "StrLoad::Open()");
    std::unique_ptr<CPDFObject> obj = CPDFObject::SerializeObject(doc, in, nullptr);
    if (!obj)
        Fail(FormatFactor("no object %d at index %d of object stream %d", objNum, index, stmNum));
    char word[limits::kTokenSize];
    if (in.ReadToken(word, sizeof word))
        Fail(FormatFactor("object %d in object stream %d is followed by %s", objNum, stmNum,
                          std::strcmp(word, "stream") == 0 ? "a stream's data" : word));
    return obj;
}

CPDFObjStmCache::Decoded& CPDFObjStmCache::Get(CPDFObjHolder* doc, int32_t stmNum,
                                               const Fetch& fetch) {
    for (auto& slot : slots_) {
        if (slot->stmNum == stmNum) {
            slot->used = ++clock_;
            return *slot;
        }
    }
    // Decoded before a slot is chosen: the fetch may come back here for
    // another stream (an indirect Length kept in one).
    std::unique_ptr<Decoded> fresh = Decode(doc, stmNum, fetch);
    fresh->used = ++clock_;
    if (slots_.size() < static_cast<size_t>(limits::kObjStmCacheSlots)) {
        slots_.push_back(std::move(fresh));
        return *slots_.back();
    }
    size_t oldest = 0;
    for (size_t i = 1; i < slots_.size(); ++i)
        if (slots_[i]->used < slots_[oldest]->used) oldest = i;
    slots_[oldest] = std::move(fresh);
    return *slots_[oldest];
}

std::unique_ptr<CPDFObjStmCache::Decoded> CPDFObjStmCache::Decode(CPDFObjHolder* doc,
                                                                  int32_t stmNum,
                                                                  const Fetch& fetch) {
    if (!busy_.insert(stmNum).second)
        Fail(FormatFactor("object stream %d is needed to read itself", stmNum));
    struct Done {
        std::set<int32_t>& busy;
        int32_t num;
        ~Done() { busy.erase(num); }
    } done{busy_, stmNum};

    auto d = std::make_unique<Decoded>();
    d->stmNum = stmNum;
    d->stream = fetch(stmNum);
    CPDFStream* stream = AsObjStm(d->stream.get(), stmNum);

    // /Extends only groups streams; it is followed to refuse a loop in it.
    std::set<int32_t> chain = {stmNum};
    for (int32_t next = ExtendsOf(*stream); next != 0;) {
        if (!chain.insert(next).second)
            Fail(FormatFactor("/Extends of object stream %d loops back to %d", stmNum, next));
        if (chain.size() > static_cast<size_t>(limits::kMaxExtendsDepth))
            Fail(FormatFactor("/Extends of object stream %d is too long", stmNum));
        std::unique_ptr<CPDFObject> parent = fetch(next);
        next = ExtendsOf(*AsObjStm(parent.get(), next));
    }

    CPDFNumber* n = stream->GetAs<CPDFNumber>(doc, "N");
    CPDFNumber* first = stream->GetAs<CPDFNumber>(doc, "First");
    if (!n || n->IntValue() < 0) Fail(FormatFactor("object stream %d has no valid /N", stmNum));
    if (!first || first->IntValue() < 0)
        Fail(FormatFactor("object stream %d has no valid /First", stmNum));
    const int32_t count = n->IntValue();
    d->first = first->IntValue();

    CPDFException error;
    stream->SetDecodeLimit(limits::kMaxStructStreamBytes);
    if (!stream->DecodeAllFilter(&error)) throw error;
    d->data = stream->GetData();
    d->length = stream->GetDataLength();
    if (d->first > d->length)
        Fail(FormatFactor("/First %lld of object stream %d is past its %lld decoded bytes",
                          static_cast<long long>(d->first), stmNum,
                          static_cast<long long>(d->length)));

    // The pairs grow as they are read, never with /N itself.
    StrLoad in;
    if (!in.Open(d->data, static_cast<int32_t>(d->first)))
        throw CPDFException("CPDFObjStmCache", "Load", CPDFException::InternalError,
                            "StrLoad::Open()");
    char num[limits::kTokenSize], off[limits::kTokenSize];
    int64_t last = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (!in.ReadToken(num, sizeof num) || !in.ReadToken(off, sizeof off))
            Fail(FormatFactor("/N %d of object stream %d runs past /First %lld", count, stmNum,
                              static_cast<long long>(d->first)));
        if (!detail::StartsWithDigit(num) || !detail::StartsWithDigit(off))
            Fail(FormatFactor("object stream %d has %s %s among its numbers", stmNum, num, off));
        const long objNum = detail::ParseDecimal(num);
        const long at = detail::ParseDecimal(off);
        if (objNum < 1 || objNum > limits::kMaxObjNum || at < last || at > d->length - d->first)
            Fail(FormatFactor("object stream %d lists object %s at offset %s", stmNum, num, off));
        last = at;
        d->objects.emplace_back(static_cast<int32_t>(objNum), at);
    }
    return d;
}

}  // namespace corvina
