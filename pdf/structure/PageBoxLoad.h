#pragma once

#include "pdf/object/CPDFDict.h"

// Apart from the typed-load helpers: it types values as the minimal classes,
// which are built on those helpers.
namespace corvina::detail {

// The entries that page tree nodes and pages type alike, in the order
// MediaBox, Resources, CropBox, ArtBox, TrimBox, BleedBox: plain rectangles
// become CPDFRect, a plain Resources dictionary a CPDFResDict.
bool LoadPageBoxes(CPDFObjHolder* doc, CPDFDict& holder);

}  // namespace corvina::detail
