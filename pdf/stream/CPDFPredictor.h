#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvina {

class CPDFDict;
class CPDFObjHolder;

namespace detail {
class FilterRun;
}

// Undoes the row prediction of a Flate stream's decode parameters (PNG
// predictors 10 to 15, each row carrying its own tag, and TIFF predictor 2)
// as the inflated bytes come, one row at a time. Only two rows are held, and
// they grow with the data actually decoded: a hostile Columns costs nothing
// before bytes arrive, and a row longer than the library's bound is refused
// outright. Borrows the run, which emits the result and raises the errors
// (Invalid Format naming the parameter or tag that is wrong).
class CPDFPredictor {
public:
    // Reads Predictor, Colors, BitsPerComponent and Columns from parms (null
    // or a Predictor of 1: the bytes pass through unchanged). Throws through
    // the run for values the format does not allow.
    CPDFPredictor(detail::FilterRun& run, CPDFDict* parms, CPDFObjHolder* doc);

    // Takes inflated bytes; emits every row they complete.
    void Push(const char* bytes, int n);
    // Emits what a last, short row holds.
    void Finish();

private:
    void DecodeRow(size_t n);
    void DecodePng(size_t n);
    void DecodeTiff(size_t n);

    detail::FilterRun& run_;
    int predictor_ = 1;
    int colors_ = 1;
    int bpc_ = 8;
    int columns_ = 1;
    // Bytes of one row without the PNG tag, and bytes per pixel (at least 1).
    size_t rowBytes_ = 0;
    size_t pixelBytes_ = 1;
    bool tagPending_ = true;
    unsigned char tag_ = 0;
    std::vector<unsigned char> row_;
    std::vector<unsigned char> prior_;
};

}  // namespace corvina
