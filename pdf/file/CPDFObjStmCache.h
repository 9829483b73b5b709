#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFObject.h"

namespace corvina {

class CPDFObjHolder;
class CPDFStream;

// The objects of object streams (/Type /ObjStm): each stream is decoded once
// and kept among the few most recently used, so that loading every object of
// one stream costs one decode and memory does not grow with the number of
// streams a document has. Owned by the document; the streams it keeps are
// its own copies, loaded through the fetch the document hands in (its normal
// load of an indirect object, decryption included).
//
// Load throws CPDFExceptions of module "CPDFObjStmCache", method "Load"
// (Invalid Format naming what is wrong: not an object stream, /N or /First
// past the data, an index past /N or naming another object, an object running
// into the next, a loop through /Extends or through the stream's own load),
// and whatever the fetch throws.
class CORVINA_API CPDFObjStmCache {
public:
    // The indirect object objNum of the document, read with its full load
    // (null or a throw when it cannot be read).
    using Fetch = std::function<std::unique_ptr<CPDFObject>(int32_t objNum)>;

    CPDFObjStmCache();
    ~CPDFObjStmCache();
    CPDFObjStmCache(const CPDFObjStmCache&) = delete;
    CPDFObjStmCache& operator=(const CPDFObjStmCache&) = delete;

    // Object objNum, kept at index in object stream stmNum; the caller owns it.
    std::unique_ptr<CPDFObject> Load(CPDFObjHolder* doc, int32_t objNum, int32_t stmNum,
                                     int32_t index, const Fetch& fetch);
    // The bytes of object objNum as its decoded stream holds them, from its
    // offset to the next object's (white space included), and their length;
    // valid until the next Load or Locate. index may be corrected as Load
    // corrects it. Throws as Load does for a stream or an index that fails.
    const char* Locate(CPDFObjHolder* doc, int32_t objNum, int32_t stmNum, int32_t* index,
                       const Fetch& fetch, int32_t* length);
    // The object numbers object stream stmNum lists, in its order (the
    // index of each is its position).
    std::vector<int32_t> Members(CPDFObjHolder* doc, int32_t stmNum, const Fetch& fetch);
    // Forgets every decoded stream (the file they came from changed).
    void Clear();
    int CachedCount() const { return static_cast<int>(slots_.size()); }

private:
    struct Decoded;
    Decoded& Get(CPDFObjHolder* doc, int32_t stmNum, const Fetch& fetch);
    const char* Span(Decoded& d, int32_t objNum, int32_t* index, int32_t* length);
    std::unique_ptr<Decoded> Decode(CPDFObjHolder* doc, int32_t stmNum, const Fetch& fetch);

    std::vector<std::unique_ptr<Decoded>> slots_;
    // Streams being decoded now: one met again is a loop.
    std::set<int32_t> busy_;
    uint64_t clock_ = 0;
};

}  // namespace corvina
