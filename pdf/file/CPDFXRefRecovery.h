#pragma once

#include <cstdint>
#include <vector>

namespace corvina {

class CPDFXRef;
class InStream;

// What a damaged file still holds, found by reading it once from front to
// back: every "num gen obj" header outside strings, comments and stream data
// (the last definition of a number wins), the last "trailer" keyword, and the
// objects whose dictionary says they are a cross-reference stream, an object
// stream or the catalog. A stream's data is stepped over by its direct
// Length when "endstream" stands there, else up to the next "endstream", so
// the bytes inside a stream are never taken for objects.
//
// Memory grows with the number of object headers found, never with the
// size of an object; the time is linear in the file's size. Scan throws a
// CPDFException ("ioerror") only when the input cannot be read.
class CPDFXRefRecovery {
public:
    struct Found {
        int32_t objNum;
        int32_t genNum;
        int32_t offset;
    };

    void Scan(InStream& in);

    // The objects found, one per number, in ascending order of number.
    const std::vector<Found>& Objects() const { return objects_; }
    // Places every object found into xref, sized past the highest number;
    // false when memory runs out.
    bool Fill(CPDFXRef& xref) const;
    // Where the last "trailer" keyword's dictionary begins; -1 for none.
    int32_t TrailerOffset() const { return trailer_; }
    // Objects whose dictionary has /Type /XRef, /ObjStm or /Catalog, in the
    // order of the file (the last definition of each number only).
    const std::vector<Found>& XRefStreams() const { return xrefStreams_; }
    const std::vector<Found>& ObjStms() const { return objStms_; }
    const std::vector<Found>& Catalogs() const { return catalogs_; }
    // Objects whose dictionary has /Filter /Standard: encryption dictionaries.
    const std::vector<Found>& EncryptDicts() const { return encrypts_; }

private:
    struct Token;
    void OnToken(InStream& in, const Token& token);
    void OnStream(InStream& in);
    void Finish();

    // Every header met, in file order; made unique by Finish.
    std::vector<Found> objects_;
    int32_t trailer_ = -1;
    std::vector<Found> xrefStreams_;
    std::vector<Found> objStms_;
    std::vector<Found> catalogs_;
    std::vector<Found> encrypts_;

    // The scan's state: the position, the last three tokens and the object
    // being read (its header, dictionary depth and direct Length).
    int32_t pos_ = 0;
    struct Recent {
        int kind = 0;  // 0 none, 1 unsigned integer, 2 word, 3 name
        long value = 0;
        int32_t offset = 0;
    };
    Recent last_[3];
    Found current_{-1, 0, -1};
    int depth_ = 0;
    long length_ = -1;
    int lengthToken_ = -1;
    int tokenCount_ = 0;
    bool afterType_ = false;
    bool afterLength_ = false;
    bool afterFilter_ = false;
};

}  // namespace corvina
