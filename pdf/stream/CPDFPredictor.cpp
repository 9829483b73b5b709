#include "pdf/stream/CPDFPredictor.h"

#include <cstdlib>
#include <cstring>

#include "pdf/io/Limits.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/stream/FilterRun.h"

namespace corvina {

namespace {

constexpr int kTiff = 2;
constexpr int kPngFirst = 10;
constexpr int kPngLast = 15;

int Value(CPDFDict* parms, CPDFObjHolder* doc, const char* key, int fallback) {
    if (!parms) return fallback;
    CPDFNumber* n = parms->GetAs<CPDFNumber>(doc, key);
    return n ? n->IntValue() : fallback;
}

unsigned char Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return static_cast<unsigned char>(a);
    return static_cast<unsigned char>(pb <= pc ? b : c);
}

}  // namespace

CPDFPredictor::CPDFPredictor(detail::FilterRun& run, CPDFDict* parms, CPDFObjHolder* doc)
    : run_(run) {
    predictor_ = Value(parms, doc, "Predictor", 1);
    if (predictor_ == 1) return;
    const int fail = CPDFException::InvalidFormat;
    if (predictor_ != kTiff && (predictor_ < kPngFirst || predictor_ > kPngLast))
        run_.Fail(fail, FormatFactor("invalid /Predictor %d", predictor_).c_str());
    colors_ = Value(parms, doc, "Colors", 1);
    bpc_ = Value(parms, doc, "BitsPerComponent", 8);
    const int columns = columns_ = Value(parms, doc, "Columns", 1);
    if (colors_ < 1 || colors_ > 32)
        run_.Fail(fail, FormatFactor("invalid /Colors %d", colors_).c_str());
    if (bpc_ != 1 && bpc_ != 2 && bpc_ != 4 && bpc_ != 8 && bpc_ != 16)
        run_.Fail(fail, FormatFactor("invalid /BitsPerComponent %d", bpc_).c_str());
    if (columns < 1) run_.Fail(fail, FormatFactor("invalid /Columns %d", columns).c_str());
    const int64_t bits = static_cast<int64_t>(columns) * colors_ * bpc_;
    if (bits > limits::kMaxPredictorRow * 8)
        run_.Fail(fail, FormatFactor("predictor row of %d columns is too long", columns).c_str());
    rowBytes_ = static_cast<size_t>((bits + 7) / 8);
    pixelBytes_ = static_cast<size_t>((colors_ * bpc_ + 7) / 8);
}

void CPDFPredictor::Push(const char* bytes, int n) {
    if (predictor_ == 1) {
        run_.Emit(bytes, n);
        return;
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    while (n > 0) {
        if (predictor_ >= kPngFirst && tagPending_) {
            tag_ = *p++;
            --n;
            tagPending_ = false;
            continue;
        }
        const size_t want = rowBytes_ - row_.size();
        const size_t take = static_cast<size_t>(n) < want ? static_cast<size_t>(n) : want;
        row_.insert(row_.end(), p, p + take);
        p += take;
        n -= static_cast<int>(take);
        if (row_.size() == rowBytes_) {
            DecodeRow(rowBytes_);
            run_.Emit(reinterpret_cast<const char*>(row_.data()), static_cast<int>(rowBytes_));
            prior_.swap(row_);
            row_.clear();
            tagPending_ = true;
        }
    }
}

void CPDFPredictor::Finish() {
    if (predictor_ == 1 || row_.empty()) return;
    // A short last row decodes as far as it goes: every byte depends only on
    // bytes before it in the row and on the row above.
    const size_t n = row_.size();
    DecodeRow(n);
    run_.Emit(reinterpret_cast<const char*>(row_.data()), static_cast<int>(n));
    row_.clear();
}

void CPDFPredictor::DecodeRow(size_t n) {
    if (predictor_ == kTiff)
        DecodeTiff(n);
    else
        DecodePng(n);
}

void CPDFPredictor::DecodePng(size_t n) {
    // The row above the first is all zeros.
    if (prior_.size() < n) prior_.resize(rowBytes_, 0);
    unsigned char* x = row_.data();
    const unsigned char* up = prior_.data();
    const size_t bpp = pixelBytes_;
    switch (tag_) {
        case 0:
            break;
        case 1:
            for (size_t i = bpp; i < n; ++i) x[i] = static_cast<unsigned char>(x[i] + x[i - bpp]);
            break;
        case 2:
            for (size_t i = 0; i < n; ++i) x[i] = static_cast<unsigned char>(x[i] + up[i]);
            break;
        case 3:
            for (size_t i = 0; i < n; ++i) {
                const int a = i >= bpp ? x[i - bpp] : 0;
                x[i] = static_cast<unsigned char>(x[i] + ((a + up[i]) >> 1));
            }
            break;
        case 4:
            for (size_t i = 0; i < n; ++i) {
                const int a = i >= bpp ? x[i - bpp] : 0;
                const int c = i >= bpp ? up[i - bpp] : 0;
                x[i] = static_cast<unsigned char>(x[i] + Paeth(a, up[i], c));
            }
            break;
        default:
            run_.Fail(CPDFException::InvalidFormat,
                      FormatFactor("invalid png predictor tag %d", tag_).c_str());
    }
}

void CPDFPredictor::DecodeTiff(size_t n) {
    unsigned char* x = row_.data();
    const size_t colors = static_cast<size_t>(colors_);
    if (bpc_ == 8) {
        for (size_t i = colors; i < n; ++i) x[i] = static_cast<unsigned char>(x[i] + x[i - colors]);
    } else if (bpc_ == 16) {
        for (size_t i = 2 * colors; i + 1 < n; i += 2) {
            const unsigned v =
                ((x[i] << 8) | x[i + 1]) + ((x[i - 2 * colors] << 8) | x[i + 1 - 2 * colors]);
            x[i] = static_cast<unsigned char>(v >> 8);
            x[i + 1] = static_cast<unsigned char>(v);
        }
    } else {
        // Components of 1, 2 or 4 bits, most significant first; the padding
        // bits that end a row are not components.
        const size_t bpc = static_cast<size_t>(bpc_);
        const unsigned mask = (1u << bpc) - 1;
        const size_t count = n * 8 / bpc;
        auto get = [&](size_t k) {
            const size_t bit = k * bpc;
            return (x[bit / 8] >> (8 - bpc - bit % 8)) & mask;
        };
        auto set = [&](size_t k, unsigned v) {
            const size_t bit = k * bpc;
            const unsigned shift = static_cast<unsigned>(8 - bpc - bit % 8);
            x[bit / 8] =
                static_cast<unsigned char>((x[bit / 8] & ~(mask << shift)) | ((v & mask) << shift));
        };
        const size_t used = static_cast<size_t>(columns_) * colors;
        for (size_t k = colors; k < count && k < used; ++k) set(k, get(k) + get(k - colors));
    }
}

}  // namespace corvina
