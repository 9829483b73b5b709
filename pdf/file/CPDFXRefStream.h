#pragma once

#include <cstdint>

namespace corvina {

class CPDFObjHolder;
class CPDFTrailer;
class CPDFXRef;
class InStream;
class OutStream;

// The stream form of a cross-reference section: an indirect stream of /Type
// /XRef whose rows (field widths /W, subsections /Index, default [0 Size])
// hold free entries, offsets and places in object streams, and whose
// dictionary serves as the section's trailer. Reading fills a table and a
// trailer the document keeps in its section chain like any other section;
// writing appends one as the section of an incremental update.
//
// Reading throws CPDFExceptions of module "CPDFXRefStream", method
// "Serialize": Invalid Format naming what is wrong for a stream that is not
// one, widths past 8 bytes, subsections past /Size or over each other, rows
// past the data, entries no table can hold. Nothing is sized by a number read
// from the file: the table grows with the rows the data holds.
class CPDFXRefStream {
public:
    // Reads the section at offset. The trailer (when given) takes the
    // dictionary's entries but those describing the stream (Type, W, Index,
    // Filter, DecodeParms, Length), and offset as its startxref.
    void Serialize(CPDFObjHolder* doc, InStream& in, int32_t offset, CPDFXRef& table,
                   CPDFTrailer* trailer);
    // Writes table (object 0 and every slot that holds an entry) as stream
    // objNum at the output's current offset, with the trailer's entries and
    // W [1 4 2], then startxref and %%EOF. The table must already hold the
    // stream's own entry. Compressed, the rows go through the Up predictor
    // and Flate, as a compact file's whole table does.
    static void Write(OutStream& out, CPDFObjHolder* doc, const CPDFXRef& table,
                      CPDFTrailer& trailer, int32_t objNum, int32_t offset,
                      bool compressed = false);

    // The stream's own object number, once read.
    int32_t ObjNum() const { return objNum_; }

private:
    int32_t objNum_ = 0;
};

}  // namespace corvina
