#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "pdf/object/CPDFObjRef.h"

namespace corvina {
class InStream;
}  // namespace corvina

namespace corvina::detail {

// Where one indirect object lies in a file: from its "num gen obj" to just
// after its "endobj".
struct ObjectExtent {
    int begin = -1;
    int end = -1;
    // The Type of the object's dictionary (a stream's too) when it is a
    // plain name of at most 16 bytes, "" when the dictionary has none;
    // nothing for other objects or when that cannot be told from the words.
    std::optional<std::string> type;
};

// A stream Length given by reference: its value, or nothing when it cannot be
// resolved to a whole number.
using LengthResolver = std::function<std::optional<int32_t>(const CPDFObjRef&)>;

// Finds the extent of the object ref at offset by reading its words only,
// without building it, so that its bytes can be carried over as they are.
// True only when the reader would take exactly these bytes without repairing
// anything: the header names ref, the value is balanced and well-formed at
// the top level, a stream's Length is right, and "endobj" follows. False for
// anything else (the caller then loads the object the ordinary way); never
// throws for what the file holds. Moves the stream's position.
bool ScanObjectExtent(InStream& in, int offset, const CPDFObjRef& ref,
                      const LengthResolver& resolveLength, ObjectExtent* extent);

}  // namespace corvina::detail
