#pragma once

#include <cstdint>

#include "pdf/io/CorvinaApi.h"

namespace corvina {

class CPDFException;

// Progress: the position (from the range's start to its end, in proportion
// to the input consumed) and the range's user value.
using PDFProgressProc = void (*)(int32_t position, void* user);
// Cancel: sets *cancel to stop the filter.
using PDFCancelProc = void (*)(bool* cancel, void* user);

struct CORVINA_API PDFProgressRange {
    int32_t start = 0;
    int32_t end = 100;
    void* user = nullptr;
};

// What every encoder and decoder call carries: the error list to fill (or
// null), the callbacks (or null) and the progress range.
struct CORVINA_API FilterCall {
    CPDFException* errors = nullptr;
    PDFProgressProc progress = nullptr;
    PDFCancelProc cancel = nullptr;
    PDFProgressRange range;
    // Decoders only: the largest result allowed, 0 for no bound but the
    // 32-bit one.
    int32_t limit = 0;
};

}  // namespace corvina
