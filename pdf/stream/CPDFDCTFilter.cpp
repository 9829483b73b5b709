#include "pdf/stream/CPDFDCTFilter.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "pdf/io/Limits.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFObject.h"
#include "pdf/stream/FilterRun.h"
#include "pdf/stream/ImageKeys.h"

namespace corvina {

namespace {

constexpr const char* kModule = "CPDFDCTFilter";
constexpr int kBuffer = 4096;

// libjpeg reports a fatal error by calling error_exit, which must not
// return. It jumps back to the setjmp of the one function that makes all
// libjpeg calls of an operation; that function and the callbacks libjpeg
// calls hold no object with a destructor, so the jump skips nothing. All
// C++ work (the input, the output, the callbacks of the caller) happens in
// hooks that catch their own exceptions and report a plain bool.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char warning[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings (corrupt data that libjpeg steps over, data that ended early)
// are kept, the first one as text, instead of going to stderr.
void OnMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (err->pub.num_warnings++ == 0) err->pub.format_message(cinfo, err->warning);
}

void InitErrors(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    err.warning[0] = '\0';
}

// ---- decoding ----

struct DecodeJob;
using RowHook = bool (*)(DecodeJob& job, const JSAMPLE* row, int rowIndex);
using HeaderHook = bool (*)(DecodeJob& job);

struct DecodeSource {
    jpeg_source_mgr pub;
    DecodeJob* job;
};

struct DecodeJob {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    DecodeSource src;
    JOCTET buffer[kBuffer];
    StrLoad* in;
    bool ended;  // a fake end marker was inserted
    HeaderHook onHeader;
    RowHook onRow;
    void* owner;
};

void SourceInit(j_decompress_ptr) {}
void SourceTerm(j_decompress_ptr) {}

boolean SourceFill(j_decompress_ptr cinfo) {
    DecodeJob& job = *reinterpret_cast<DecodeSource*>(cinfo->src)->job;
    const int n = job.in->Read(job.buffer, kBuffer);
    if (n > 0) {
        job.src.pub.next_input_byte = job.buffer;
        job.src.pub.bytes_in_buffer = static_cast<size_t>(n);
        return TRUE;
    }
    // Data that ends early gets an end marker, as libjpeg's own file source
    // does: the image is finished with what the data held and a warning,
    // rather than read from past the end.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    job.ended = true;
    job.buffer[0] = 0xFF;
    job.buffer[1] = JPEG_EOI;
    job.src.pub.next_input_byte = job.buffer;
    job.src.pub.bytes_in_buffer = 2;
    return TRUE;
}

void SourceSkip(j_decompress_ptr cinfo, long count) {
    jpeg_source_mgr& src = *cinfo->src;
    while (count > static_cast<long>(src.bytes_in_buffer)) {
        count -= static_cast<long>(src.bytes_in_buffer);
        SourceFill(cinfo);
    }
    if (count > 0) {
        src.next_input_byte += count;
        src.bytes_in_buffer -= static_cast<size_t>(count);
    }
}

enum Outcome { Done, LibraryFailed, HookFailed };

// Every libjpeg call of one decoding. No C++ object lives in this frame.
Outcome Decompress(DecodeJob* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    if (setjmp(job->err.jump)) {
        jpeg_destroy_decompress(&job->cinfo);
        return LibraryFailed;
    }
    jpeg_create_decompress(cinfo);
    cinfo->src = &job->src.pub;
    jpeg_read_header(cinfo, TRUE);
    jpeg_calc_output_dimensions(cinfo);
    if (!job->onHeader(*job)) {
        jpeg_destroy_decompress(cinfo);
        return HookFailed;
    }
    jpeg_start_decompress(cinfo);
    const int stride = static_cast<int>(cinfo->output_width) * cinfo->output_components;
    JSAMPARRAY row = cinfo->mem->alloc_sarray(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                              static_cast<JDIMENSION>(stride), 1);
    while (cinfo->output_scanline < cinfo->output_height) {
        const int index = static_cast<int>(cinfo->output_scanline);
        if (jpeg_read_scanlines(cinfo, row, 1) != 1) longjmp(job->err.jump, 1);
        if (!job->onRow(*job, row[0], index)) {
            jpeg_destroy_decompress(cinfo);
            return HookFailed;
        }
    }
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return Done;
}

// The C++ side of a decoding: the filter's skeleton and what a hook threw.
struct DecodeOwner {
    detail::FilterRun& run;
    FilterData& data;
    int32_t width, height;
    int stride = 0;
    std::optional<CPDFException> failure;
};

// Runs a hook's C++ work; what it throws is kept in the owner for after the
// libjpeg frame has returned, and the hook reports false.
template <class Owner, class Work>
bool Guarded(Owner& owner, const char* method, Work work) {
    try {
        work();
        return true;
    } catch (const CPDFException& e) {
        owner.failure = e;
    } catch (...) {
        owner.failure = CPDFException(kModule, method, CPDFException::InternalError, "");
    }
    return false;
}

template <class Work>
bool Hook(DecodeOwner& owner, Work work) {
    return Guarded(owner, "Decode", work);
}

bool OnHeader(DecodeJob& job) {
    auto& owner = *static_cast<DecodeOwner*>(job.owner);
    return Hook(owner, [&] {
        const jpeg_decompress_struct& c = job.cinfo;
        // The JPEG's own size decides what comes out; the dictionary's can
        // only be reported when it disagrees.
        const long long bytes =
            static_cast<long long>(c.output_width) * c.output_height * c.output_components;
        if (bytes > limits::kMaxImageBytes)
            owner.run.Fail(CPDFException::InvalidFormat, "cannot read image data");
        owner.stride = static_cast<int>(c.output_width) * c.output_components;
        if (static_cast<int32_t>(c.output_width) != owner.width ||
            static_cast<int32_t>(c.output_height) != owner.height)
            owner.data.warning =
                FormatFactor("JPEG image is %ux%u, the dictionary says %dx%d", c.output_width,
                             c.output_height, owner.width, owner.height);
        if (!owner.data.result.Reserve(static_cast<int>(bytes)))
            owner.run.Fail(CPDFException::InternalError, "");
    });
}

bool OnRow(DecodeJob& job, const JSAMPLE* row, int index) {
    auto& owner = *static_cast<DecodeOwner*>(job.owner);
    return Hook(owner, [&] {
        owner.run.CheckCancel();
        owner.run.Emit(reinterpret_cast<const char*>(row), owner.stride);
        owner.run.Report(index + 1, static_cast<int64_t>(job.cinfo.output_height));
    });
}

// ---- encoding ----

struct EncodeJob;
using SinkHook = bool (*)(EncodeJob& job, const JOCTET* bytes, int n);
using StepHook = bool (*)(EncodeJob& job, int rowIndex);

struct EncodeDest {
    jpeg_destination_mgr pub;
    EncodeJob* job;
};

struct EncodeJob {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    EncodeDest dest;
    JOCTET buffer[kBuffer];
    const JOCTET* rows;
    int stride;
    int width, height, components;
    J_COLOR_SPACE space;
    int quality;
    SinkHook onBytes;
    StepHook onRow;
    bool hookFailed;
    void* owner;
};

void DestInit(j_compress_ptr cinfo) {
    EncodeJob& job = *reinterpret_cast<EncodeDest*>(cinfo->dest)->job;
    job.dest.pub.next_output_byte = job.buffer;
    job.dest.pub.free_in_buffer = kBuffer;
}

void FailHook(j_common_ptr cinfo, EncodeJob& job) {
    job.hookFailed = true;
    cinfo->err->error_exit(cinfo);
}

boolean DestEmpty(j_compress_ptr cinfo) {
    EncodeJob& job = *reinterpret_cast<EncodeDest*>(cinfo->dest)->job;
    if (!job.onBytes(job, job.buffer, kBuffer))
        FailHook(reinterpret_cast<j_common_ptr>(cinfo), job);
    DestInit(cinfo);
    return TRUE;
}

void DestTerm(j_compress_ptr cinfo) {
    EncodeJob& job = *reinterpret_cast<EncodeDest*>(cinfo->dest)->job;
    const int n = kBuffer - static_cast<int>(job.dest.pub.free_in_buffer);
    if (n > 0 && !job.onBytes(job, job.buffer, n))
        FailHook(reinterpret_cast<j_common_ptr>(cinfo), job);
}

// Every libjpeg call of one encoding. No C++ object lives in this frame.
Outcome Compress(EncodeJob* job) {
    j_compress_ptr cinfo = &job->cinfo;
    if (setjmp(job->err.jump)) {
        jpeg_destroy_compress(&job->cinfo);
        return job->hookFailed ? HookFailed : LibraryFailed;
    }
    jpeg_create_compress(cinfo);
    cinfo->dest = &job->dest.pub;
    cinfo->image_width = static_cast<JDIMENSION>(job->width);
    cinfo->image_height = static_cast<JDIMENSION>(job->height);
    cinfo->input_components = job->components;
    cinfo->in_color_space = job->space;
    jpeg_set_defaults(cinfo);
    jpeg_set_linear_quality(cinfo, job->quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        const int index = static_cast<int>(cinfo->next_scanline);
        if (!job->onRow(*job, index)) {
            jpeg_destroy_compress(cinfo);
            return HookFailed;
        }
        JSAMPROW row = const_cast<JSAMPROW>(job->rows + static_cast<long>(index) * job->stride);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    return Done;
}

struct EncodeOwner {
    detail::FilterRun& run;
    std::optional<CPDFException> failure;
};

template <class Work>
bool EncodeHook(EncodeOwner& owner, Work work) {
    return Guarded(owner, "Encode", work);
}

bool OnBytes(EncodeJob& job, const JOCTET* bytes, int n) {
    auto& owner = *static_cast<EncodeOwner*>(job.owner);
    return EncodeHook(owner, [&] { owner.run.Emit(reinterpret_cast<const char*>(bytes), n); });
}

bool OnEncodeRow(EncodeJob& job, int index) {
    auto& owner = *static_cast<EncodeOwner*>(job.owner);
    return EncodeHook(owner, [&] {
        owner.run.CheckCancel();
        owner.run.Report(index, job.height);
    });
}

// Width, Height, BitsPerComponent and ColorSpace are all there.
bool HasImageKeys(FilterData& data) {
    int32_t value;
    return detail::ImageInt(data, "Width", &value) && detail::ImageInt(data, "Height", &value) &&
           detail::ImageInt(data, "BitsPerComponent", &value) &&
           detail::ImageValue(data, "ColorSpace");
}

void CheckBits(detail::FilterRun& run, FilterData& data) {
    int32_t bits = 0;
    detail::ImageInt(data, "BitsPerComponent", &bits);
    if (bits != 8)
        run.Fail(CPDFException::InvalidFormat,
                 FormatFactor("invalid BitsPerComponent: %d", bits).c_str());
}

}  // namespace

bool CPDFDCTFilter::Decode(FilterData& data, const FilterCall& call) {
    // An image without its entries is not decoded and is no error either.
    if (data.length > 0 && !HasImageKeys(data)) return false;
    detail::FilterRun run(data, call, kModule, "Decode");
    return run.Guard([&] {
        CheckBits(run, data);
        DecodeOwner owner{run, data, 0, 0, 0, {}};
        detail::ImageInt(data, "Width", &owner.width);
        detail::ImageInt(data, "Height", &owner.height);
        auto job = std::make_unique<DecodeJob>();
        std::memset(job.get(), 0, sizeof(DecodeJob));
        InitErrors(job->err);
        job->cinfo.err = &job->err.pub;
        job->src.job = job.get();
        job->src.pub.init_source = SourceInit;
        job->src.pub.fill_input_buffer = SourceFill;
        job->src.pub.skip_input_data = SourceSkip;
        job->src.pub.resync_to_restart = jpeg_resync_to_restart;
        job->src.pub.term_source = SourceTerm;
        job->in = &run.Input();
        job->onHeader = OnHeader;
        job->onRow = OnRow;
        job->owner = &owner;
        const Outcome outcome = Decompress(job.get());
        if (outcome == HookFailed && owner.failure) throw *owner.failure;
        if (outcome != Done) run.Fail(CPDFException::InvalidFormat, "cannot read image data");
        if (job->err.pub.num_warnings > 0 && data.warning.empty())
            data.warning = FormatFactor("JPEG data: %s", job->err.warning);
    });
}

bool CPDFDCTFilter::Encode(FilterData& data, const FilterCall& call, int32_t quality) {
    detail::FilterRun run(data, call, kModule, "Encode");
    return run.Guard([&] {
        int32_t size[3] = {};
        const char* keys[3] = {"Width", "Height", "BitsPerComponent"};
        for (int i = 0; i < 3; ++i)
            if (!detail::ImageInt(data, keys[i], &size[i]))
                run.Fail(CPDFException::InvalidFormat,
                         FormatFactor("missing value of %s key", keys[i]).c_str());
        const int32_t width = size[0], height = size[1];
        CheckBits(run, data);
        CPDFObject* space = detail::ImageValue(data, "ColorSpace");
        if (!space) run.Fail(CPDFException::InvalidFormat, "missing value of ColorSpace key");
        if (!space->Is(CPDFObject::Name | CPDFObject::Array))
            run.Fail(CPDFException::InvalidFormat,
                     FormatFactor("typecheck: %s", space->TypeName()).c_str());
        std::string family;
        bool indexed = false;
        const int components = detail::ColorComponents(data, space, &family, &indexed);
        // Indexed samples are table positions: lossy coding would change colours.
        if ((components != 1 && components != 3 && components != 4) || indexed)
            run.Fail(CPDFException::InvalidFormat,
                     FormatFactor("invalid ColorSpace: %s", family.c_str()).c_str());
        if (width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)
            run.Fail(CPDFException::InvalidFormat, "cannot write image data");
        const long long need = static_cast<long long>(width) * height * components;
        if (need > data.length)
            run.Fail(
                CPDFException::InvalidFormat,
                FormatFactor("image data too short: %d bytes for %lld", data.length, need).c_str());
        EncodeOwner owner{run, {}};
        auto job = std::make_unique<EncodeJob>();
        std::memset(job.get(), 0, sizeof(EncodeJob));
        InitErrors(job->err);
        job->cinfo.err = &job->err.pub;
        job->dest.job = job.get();
        job->dest.pub.init_destination = DestInit;
        job->dest.pub.empty_output_buffer = DestEmpty;
        job->dest.pub.term_destination = DestTerm;
        job->rows = reinterpret_cast<const JOCTET*>(data.data);
        job->width = width;
        job->height = height;
        job->components = components;
        job->stride = width * components;
        job->space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
        job->quality = quality < 0 ? 0 : quality > 5000 ? 5000 : quality;
        job->onBytes = OnBytes;
        job->onRow = OnEncodeRow;
        job->owner = &owner;
        const Outcome outcome = Compress(job.get());
        if (outcome == HookFailed && owner.failure) throw *owner.failure;
        if (outcome != Done) run.Fail(CPDFException::InternalError, "cannot write image data");
    });
}

}  // namespace corvina
