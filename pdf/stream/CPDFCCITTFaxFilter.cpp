#include "pdf/stream/CPDFCCITTFaxFilter.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "pdf/io/Limits.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFBool.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/stream/FilterRun.h"
#include "pdf/stream/ImageKeys.h"

namespace corvina {

namespace {

constexpr const char* kModule = "CPDFCCITTFaxFilter";

// ---- a TIFF file in memory, through libtiff's client I/O ----

struct MemFile {
    std::string bytes;
    toff_t pos = 0;
};

MemFile& File(thandle_t h) {
    return *static_cast<MemFile*>(h);
}

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
    MemFile& f = File(h);
    if (n <= 0 || f.pos >= f.bytes.size()) return 0;
    const tmsize_t count = std::min<tmsize_t>(n, static_cast<tmsize_t>(f.bytes.size() - f.pos));
    std::memcpy(buf, f.bytes.data() + f.pos, static_cast<size_t>(count));
    f.pos += static_cast<toff_t>(count);
    return count;
}

// Called from C: a failed allocation is reported as a failed write.
tmsize_t MemWrite(thandle_t h, void* buf, tmsize_t n) {
    MemFile& f = File(h);
    if (n < 0) return -1;
    try {
        const toff_t end = f.pos + static_cast<toff_t>(n);
        if (end > limits::kMaxImageBytes * 2ULL) return -1;
        if (end > f.bytes.size()) f.bytes.resize(static_cast<size_t>(end));
        std::memcpy(f.bytes.data() + f.pos, buf, static_cast<size_t>(n));
        f.pos = end;
        return n;
    } catch (...) {
        return -1;
    }
}

toff_t MemSeek(thandle_t h, toff_t offset, int whence) {
    MemFile& f = File(h);
    toff_t base = 0;
    if (whence == SEEK_CUR)
        base = f.pos;
    else if (whence == SEEK_END)
        base = f.bytes.size();
    // toff_t is unsigned: a negative offset arrives wrapped around.
    f.pos = base + offset;
    return f.pos;
}

int MemClose(thandle_t) {
    return 0;
}

toff_t MemSize(thandle_t h) {
    return File(h).bytes.size();
}

int MemMap(thandle_t, void**, toff_t*) {
    return 0;
}

void MemUnmap(thandle_t, void*, toff_t) {}

// libtiff's message handlers are process-wide. One fax operation at a time
// swaps them for its own, which collect the first error and warning text,
// and puts the previous ones back on every way out.
struct TiffMessages {
    char error[512];
    char warning[512];
};

std::mutex& TiffMutex() {
    static std::mutex mutex;
    return mutex;
}

TiffMessages* g_messages = nullptr;  // guarded by TiffMutex()

void Collect(char* into, const char* module, const char* format, va_list args) {
    if (!g_messages || into[0] != '\0') return;
    char text[400];
    std::vsnprintf(text, sizeof text, format, args);
    std::snprintf(into, sizeof g_messages->error, "%s%s%s", module ? module : "",
                  module ? ": " : "", text);
}

void OnTiffError(const char* module, const char* format, va_list args) {
    if (g_messages) Collect(g_messages->error, module, format, args);
}

void OnTiffWarning(const char* module, const char* format, va_list args) {
    if (g_messages) Collect(g_messages->warning, module, format, args);
}

class TiffSession {
public:
    explicit TiffSession(TiffMessages& messages) : lock_(TiffMutex()) {
        messages.error[0] = messages.warning[0] = '\0';
        g_messages = &messages;
        oldError_ = TIFFSetErrorHandler(OnTiffError);
        oldWarning_ = TIFFSetWarningHandler(OnTiffWarning);
    }
    ~TiffSession() {
        TIFFSetErrorHandler(oldError_);
        TIFFSetWarningHandler(oldWarning_);
        g_messages = nullptr;
    }
    TiffSession(const TiffSession&) = delete;
    TiffSession& operator=(const TiffSession&) = delete;

private:
    std::lock_guard<std::mutex> lock_;
    TIFFErrorHandler oldError_;
    TIFFErrorHandler oldWarning_;
};

struct TiffHandle {
    TIFF* tif = nullptr;
    ~TiffHandle() { Close(); }
    void Close() {
        if (tif) TIFFClose(tif);
        tif = nullptr;
    }
};

// The geometry and coding both directions share.
struct Fax {
    int32_t width = 0;
    int32_t height = 0;
    int32_t k = 0;
    bool byteAlign = false;
    // One-dimensional rows without end-of-line codes, which libtiff's
    // Group 3 codec cannot find its way through: they go through its
    // Modified Huffman codec instead, told not to expect codes or padding.
    bool noEol = false;
    int64_t RowBytes() const { return (int64_t{width} + 7) / 8; }
};

class FaxRun {
public:
    FaxRun(detail::FilterRun& run, FilterData& data)
        : run_(run), data_(data), session_(messages_) {}

    [[noreturn]] void Fail(int type, const std::string& factor) const {
        run_.Fail(type, factor.c_str());
    }

    // A message libtiff gave is the better reason; else the call's own.
    void Check(bool ok, int type, const char* factor) const {
        if (messages_.error[0]) Fail(CPDFException::InvalidFormat, messages_.error);
        if (!ok) Fail(type, factor);
    }

    // Width, Height, BitsPerComponent 1, and a one-component colour space
    // or an image mask.
    Fax Geometry() const {
        Fax fax;
        if (!detail::ImageInt(data_, "Width", &fax.width))
            Fail(CPDFException::InvalidFormat, "missing value of Width key");
        if (!detail::ImageInt(data_, "Height", &fax.height))
            Fail(CPDFException::InvalidFormat, "missing value of Height key");
        CPDFObject* maskValue = detail::ImageValue(data_, "ImageMask");
        const bool mask = maskValue && maskValue->Is(CPDFObject::Bool) &&
                          static_cast<CPDFBool*>(maskValue)->Value();
        int32_t bits = 1;
        // A mask may leave BitsPerComponent out: it can only be 1.
        if (!detail::ImageInt(data_, "BitsPerComponent", &bits) && !mask) bits = 0;
        if (bits != 1)
            Fail(CPDFException::InvalidFormat, FormatFactor("invalid BitsPerComponent: %d", bits));
        CPDFObject* space = detail::ImageValue(data_, "ColorSpace");
        if (space) {
            if (!space->Is(CPDFObject::Name | CPDFObject::Array))
                Fail(CPDFException::InvalidFormat,
                     FormatFactor("typecheck: %s", space->TypeName()));
            std::string family;
            bool indexed = false;
            if (detail::ColorComponents(data_, space, &family, &indexed) != 1)
                Fail(CPDFException::InvalidFormat,
                     FormatFactor("invalid ColorSpace: %s", family.c_str()));
        } else if (!mask) {
            Fail(CPDFException::InvalidFormat, "invalid ImageMask: 0");
        }
        if (fax.width <= 0 || fax.height <= 0 ||
            fax.RowBytes() * fax.height > limits::kMaxImageBytes)
            Fail(CPDFException::InvalidFormat,
                 FormatFactor("invalid image size: %dx%d", fax.width, fax.height));
        return fax;
    }

    void Open(TiffHandle& handle, const char* mode) {
        file_.pos = 0;
        handle.tif = TIFFClientOpen("cvfax", mode, &file_, MemRead, MemWrite, MemSeek, MemClose,
                                    MemSize, MemMap, MemUnmap);
        Check(handle.tif != nullptr, CPDFException::InternalError, "TIFFOpen()");
    }

    void SetFields(TIFF* tif, const Fax& fax) const {
        const bool g4 = fax.k < 0;
        uint32_t t4 = fax.k > 0 ? GROUP3OPT_2DENCODING : 0;
        if (fax.byteAlign) t4 |= GROUP3OPT_FILLBITS;
        const uint16_t compression = g4          ? COMPRESSION_CCITTFAX4
                                     : fax.noEol ? COMPRESSION_CCITTRLE
                                                 : COMPRESSION_CCITTFAX3;
        const bool ok =
            TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(fax.width)) &&
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(fax.height)) &&
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1) &&
            TIFFSetField(tif, TIFFTAG_COMPRESSION, compression) &&
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE) &&
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(fax.height)) &&
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, 72.0) &&
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, 72.0) &&
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_NONE) &&
            (g4          ? TIFFSetField(tif, TIFFTAG_T6OPTIONS, 0)
             : fax.noEol ? 1
                         : TIFFSetField(tif, TIFFTAG_T4OPTIONS, t4));
        Check(ok, CPDFException::InternalError, "cannot set field");
    }

    // How the rows of fax.noEol data are laid out, set on the reading side.
    void SetReadMode(TIFF* tif, const Fax& fax) const {
        if (!fax.noEol) return;
        const int mode = FAXMODE_NORTC | FAXMODE_NOEOL | (fax.byteAlign ? FAXMODE_BYTEALIGN : 0);
        Check(TIFFSetField(tif, TIFFTAG_FAXMODE, mode) == 1, CPDFException::InternalError,
              "cannot set field");
    }

    void Finish(TiffHandle& handle) {
        const bool ok = TIFFFlush(handle.tif) != 0;
        handle.Close();
        Check(ok, CPDFException::InternalError, "cannot write image data");
    }

    const char* Warning() const { return messages_.warning; }

private:
    detail::FilterRun& run_;
    FilterData& data_;
    TiffMessages messages_{};
    TiffSession session_;
    MemFile file_;
};

// Group 3 data that starts with an end-of-line code: eleven zero bits or
// more, then a one.
bool StartsWithEol(const char* bytes, int n) {
    int zeros = 0;
    for (int i = 0; i < n; ++i)
        for (int bit = 7; bit >= 0; --bit) {
            if ((static_cast<unsigned char>(bytes[i]) >> bit) & 1) return zeros >= 11;
            ++zeros;
        }
    return false;
}

int32_t ParmInt(FilterData& data, const char* key, int32_t fallback, detail::FilterRun& run) {
    if (!data.parms) return fallback;
    CPDFObject* value = data.parms->GetObj(data.doc, key);
    if (!value) return fallback;
    if (!value->Is(CPDFObject::Number | CPDFObject::Integer | CPDFObject::Real))
        run.Fail(CPDFException::InvalidFormat,
                 FormatFactor("typecheck: %s", value->TypeName()).c_str());
    return static_cast<CPDFNumber*>(value)->IntValue();
}

bool ParmBool(FilterData& data, const char* key) {
    CPDFObject* value = data.parms ? data.parms->GetObj(data.doc, key) : nullptr;
    return value && value->Is(CPDFObject::Bool) && static_cast<CPDFBool*>(value)->Value();
}

// [a b] as two numbers; false for anything else.
bool DecodePair(FilterData& data, CPDFObject* decode, float* a, float* b) {
    if (!decode || !decode->Is(CPDFObject::Array)) return false;
    auto* array = static_cast<CPDFArray*>(decode);
    if (array->Count() != 2) return false;
    CPDFObject* first = array->GetObj(data.doc, 0);
    CPDFObject* second = array->GetObj(data.doc, 1);
    const int number = CPDFObject::Number | CPDFObject::Integer | CPDFObject::Real;
    if (!first || !second || !first->Is(number) || !second->Is(number)) return false;
    *a = static_cast<CPDFNumber*>(first)->RealValue();
    *b = static_cast<CPDFNumber*>(second)->RealValue();
    return true;
}

std::unique_ptr<CPDFArray> Pair(float a, float b) {
    auto array = std::make_unique<CPDFArray>();
    for (float v : {a, b}) {
        std::unique_ptr<CPDFNumber> n;
        if (v == static_cast<float>(static_cast<int32_t>(v)))
            n = std::make_unique<CPDFInt>(static_cast<int32_t>(v));
        else
            n = std::make_unique<CPDFNumber>(v);
        if (!array->Push_Back(std::move(n))) return nullptr;
    }
    return array;
}

}  // namespace

bool CPDFCCITTFaxFilter::Decode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, kModule, "Decode");
    return run.Guard([&] {
        FaxRun fax(run, data);
        Fax geometry = fax.Geometry();
        // Absent parameters, or an absent K, are the format's default K 0.
        geometry.k = ParmInt(data, "K", 0, run);
        const int32_t columns = ParmInt(data, "Columns", geometry.width, run);
        // The coded rows are Columns wide, as other readers decode them; a
        // dictionary that disagrees is reported, not followed.
        if (columns != geometry.width) {
            data.warning = FormatFactor("Columns %d differ from Width %d", columns, geometry.width);
            geometry.width = columns;
            if (columns <= 0 || geometry.RowBytes() * geometry.height > limits::kMaxImageBytes)
                run.Fail(
                    CPDFException::InvalidFormat,
                    FormatFactor("invalid image size: %dx%d", columns, geometry.height).c_str());
        }
        geometry.byteAlign = ParmBool(data, "EncodedByteAlign");
        if (geometry.byteAlign && geometry.k < 0)
            run.Fail(CPDFException::InvalidFormat, "EncodedByteAlign is not supported with K < 0");
        // Every coded row takes at least one bit: more rows than the data
        // has bits cannot be there.
        if (geometry.height > int64_t{data.length} * 8 + 8)
            run.Fail(
                CPDFException::InvalidFormat,
                FormatFactor("invalid image size: %dx%d", geometry.width, geometry.height).c_str());
        const bool blackIs1 = ParmBool(data, "BlackIs1");
        geometry.noEol = geometry.k == 0 && !StartsWithEol(data.data, data.length);

        TiffHandle out;
        fax.Open(out, "w");
        fax.SetFields(out.tif, geometry);
        run.ForEachPiece([&](const char* piece, int n) {
            fax.Check(TIFFWriteRawStrip(out.tif, 0, const_cast<char*>(piece), n) >= 0,
                      CPDFException::InternalError, "cannot write image data");
        });
        fax.Finish(out);

        TiffHandle in;
        fax.Open(in, "r");
        fax.SetReadMode(in.tif, geometry);
        const tmsize_t size = TIFFStripSize(in.tif);
        if (size != geometry.RowBytes() * geometry.height)
            fax.Check(false, CPDFException::InternalError, "cannot read image data");
        if (call.limit > 0 && size > call.limit) run.FailLimit(call.limit);
        if (!data.result.Append('\0', static_cast<int>(size)))
            run.Fail(CPDFException::InternalError, "");
        const tmsize_t got = TIFFReadEncodedStrip(in.tif, 0, data.result.Data(), size);
        fax.Check(got == size, CPDFException::InvalidFormat, "cannot read image data");
        if (fax.Warning()[0])
            data.warning += (data.warning.empty() ? "" : "; ") + std::string(fax.Warning());
        run.Tick(data.length, data.length);

        // The decoded bits have 1 for black. Where the data's own convention
        // is 0 for black, the samples are read inverted instead, by swapping
        // the Decode pair the dictionary had (absent: [0 1]).
        if (!blackIs1) {
            float a = 0, b = 1;
            CPDFObject* decode = detail::ImageValue(data, "Decode");
            if (decode && !DecodePair(data, decode, &a, &b))
                run.Fail(CPDFException::InvalidFormat, "invalid Decode Array");
            std::unique_ptr<CPDFArray> swapped = Pair(b, a);
            if (!swapped || !data.dict.SetObj(data.doc, "Decode", std::move(swapped), false))
                run.Fail(CPDFException::InternalError, "");
        }
    });
}

bool CPDFCCITTFaxFilter::Encode(FilterData& data, const FilterCall& call, int32_t k,
                                std::unique_ptr<CPDFDict>& parms) {
    detail::FilterRun run(data, call, kModule, "Encode");
    return run.Guard([&] {
        FaxRun fax(run, data);
        Fax geometry = fax.Geometry();
        geometry.k = k < 0 ? -1 : k > 0 ? 1 : 0;
        // The coded data says 1 is black; Decode tells what the samples say.
        bool blackIs1 = true;
        CPDFObject* decode = detail::ImageValue(data, "Decode");
        if (decode) {
            float a = 0, b = 0;
            if (!DecodePair(data, decode, &a, &b) || !((a == 0 && b == 1) || (a == 1 && b == 0)))
                run.Fail(CPDFException::InvalidFormat, "invalid Decode Array");
            blackIs1 = a == 0;
        }
        const int64_t stride = geometry.RowBytes();
        if (stride * geometry.height > data.length)
            run.Fail(CPDFException::InvalidFormat,
                     FormatFactor("image data too short: %d bytes for %lld", data.length,
                                  static_cast<long long>(stride * geometry.height))
                         .c_str());

        TiffHandle out;
        fax.Open(out, "w");
        fax.SetFields(out.tif, geometry);
        // libtiff may change the row it is given; the stream's data is not its.
        std::string line;
        for (int32_t row = 0; row < geometry.height; ++row) {
            run.Tick(row, geometry.height);
            line.assign(data.data + stride * row, static_cast<size_t>(stride));
            fax.Check(TIFFWriteScanline(out.tif, line.data(), static_cast<uint32_t>(row), 0) == 1,
                      CPDFException::InternalError, "cannot write image data");
        }
        fax.Finish(out);

        TiffHandle in;
        fax.Open(in, "r");
        uint64_t* counts = nullptr;
        fax.Check(TIFFGetField(in.tif, TIFFTAG_STRIPBYTECOUNTS, &counts) == 1 && counts,
                  CPDFException::InternalError, "cannot get field");
        if (counts[0] > static_cast<uint64_t>(INT32_MAX))
            run.Fail(CPDFException::InternalError, "cannot read image data");
        const auto count = static_cast<tmsize_t>(counts[0]);
        if (!data.result.Append('\0', static_cast<int>(count)))
            run.Fail(CPDFException::InternalError, "");
        fax.Check(TIFFReadRawStrip(in.tif, 0, data.result.Data(), count) == count,
                  CPDFException::InternalError, "cannot read image data");

        auto made = std::make_unique<CPDFDict>();
        bool ok = made->Insert("K", std::make_unique<CPDFInt>(geometry.k)) &&
                  made->Insert("Columns", std::make_unique<CPDFInt>(geometry.width));
        if (blackIs1) ok = ok && made->Insert("BlackIs1", std::make_unique<CPDFBool>(true));
        if (!ok) run.Fail(CPDFException::InternalError, "");
        if (decode) data.dict.RemoveKey(data.doc, "Decode");
        parms = std::move(made);
    });
}

}  // namespace corvina
