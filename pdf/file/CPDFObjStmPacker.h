#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pdf/object/CPDFObject.h"

namespace corvina {

class CPDFObjHolder;
class CPDFStream;

// Packs indirect objects into new object streams (/Type /ObjStm, Flate) as a
// compact whole rewrite writes them: about kPerStream objects each, in the
// order they are added. Only the stream under construction is held, never
// the file: a full stream is handed to the writer at once.
//
// The caller decides what may be packed (no stream, generation 0, not the
// encryption dictionary); objects are taken plain, since an object stream is
// encrypted as a whole. Owned by the writer of one save; the document is
// borrowed and must outlive it. The callbacks may throw; whatever they throw
// passes through Add and Close.
class CPDFObjStmPacker {
public:
    static constexpr int kPerStream = 100;

    // The number of the next object stream, and its generation.
    using Number = std::function<void(int32_t* objNum, int32_t* genNum)>;
    // Writes a finished object stream as indirect object objNum genNum.
    using Emit = std::function<void(int32_t objNum, int32_t genNum, CPDFStream& stream)>;

    CPDFObjStmPacker(CPDFObjHolder* doc, Number number, Emit emit, int perStream = kPerStream);
    ~CPDFObjStmPacker();
    CPDFObjStmPacker(const CPDFObjStmPacker&) = delete;
    CPDFObjStmPacker& operator=(const CPDFObjStmPacker&) = delete;

    // An object given as the bytes of its value, as an input object stream
    // holds them: packed as they are when a reader takes exactly these bytes
    // as one plain value (no stream, nothing after it); false otherwise,
    // and nothing is packed.
    bool AddBytes(int32_t objNum, const char* bytes, int32_t length);
    // An object serialized plain.
    void AddObject(int32_t objNum, CPDFObject& obj);
    // Writes the stream under construction, if any.
    void Close();

    // Where an object went: its object stream and its index there.
    struct Placed {
        int32_t objNum;
        int32_t stmNum;
        int32_t index;
    };
    // Every object packed so far, in packing order (the offsets table of the
    // objects in streams, as the cross-reference table is of the others).
    const std::vector<Placed>& Packed() const { return placed_; }

private:
    // Opens a stream when none is under construction; the entry of the
    // next object in it.
    void Open();
    // The object just appended to body_ at start.
    void Place(int32_t objNum, size_t start);

    CPDFObjHolder* doc_;
    Number number_;
    Emit emit_;
    int perStream_;
    // The stream under construction: its number, the "num offset" pairs and
    // the objects' bytes, and how many it holds.
    int32_t stmNum_ = 0;
    int32_t stmGen_ = 0;
    int count_ = 0;
    std::string pairs_;
    std::string body_;
    // What AddBytes checks its bytes in, kept from call to call.
    std::string scratch_;
    // The compressed data of the stream being written, kept from call to call.
    std::string packed_;
    std::vector<Placed> placed_;
};

}  // namespace corvina
