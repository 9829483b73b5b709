#include "pdf/stream/CPDFFlateFilter.h"

#include <zlib.h>

#include "pdf/object/CPDFException.h"
#include "pdf/stream/CPDFPredictor.h"
#include "pdf/stream/FilterRun.h"

namespace corvina {

namespace {

constexpr const char* kModule = "CPDFFlateFilter";
constexpr int kOut = 4096;

// Ends the zlib stream on every path out; the end's own failure is checked
// by the normal path only.
struct InflateGuard {
    z_stream& z;
    bool open = true;
    ~InflateGuard() {
        if (open) inflateEnd(&z);
    }
};

struct DeflateGuard {
    z_stream& z;
    bool open = true;
    ~DeflateGuard() {
        if (open) deflateEnd(&z);
    }
};

Bytef* In(const char* p) {
    return reinterpret_cast<Bytef*>(const_cast<char*>(p));
}

}  // namespace

bool CPDFFlateFilter::Decode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, kModule, "Decode");
    return run.Guard([&] {
        z_stream z{};
        if (inflateInit(&z) != Z_OK) run.Fail(CPDFException::InternalError, "inflateInit()");
        InflateGuard guard{z};
        CPDFPredictor predictor(run, data.parms, data.doc);
        char out[kOut];
        int last = Z_OK;
        run.ForEachPiece([&](const char* piece, int n) {
            z.next_in = In(piece);
            z.avail_in = static_cast<uInt>(n);
            do {
                z.next_out = reinterpret_cast<Bytef*>(out);
                z.avail_out = kOut;
                last = inflate(&z, Z_NO_FLUSH);
                predictor.Push(out, kOut - static_cast<int>(z.avail_out));
            } while (last == Z_OK && (z.avail_in > 0 || z.avail_out == 0));
            // The end of the data, or data that cannot be inflated: what came
            // out so far is the result.
            return last == Z_OK || last == Z_BUF_ERROR;
        });
        if (last == Z_DATA_ERROR || last == Z_NEED_DICT || last == Z_MEM_ERROR)
            data.warning = FormatFactor("corrupt flate data after %lu bytes: %s", z.total_out,
                                        z.msg ? z.msg : "no message");
        else if (last != Z_STREAM_END)
            data.warning = FormatFactor("flate data ended early after %lu bytes", z.total_out);
        predictor.Finish();
        guard.open = false;
        if (inflateEnd(&z) != Z_OK) run.Fail(CPDFException::InternalError, "inflateEnd()");
    });
}

bool CPDFFlateFilter::Encode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, kModule, "Encode");
    return run.Guard([&] {
        z_stream z{};
        if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK)
            run.Fail(CPDFException::InternalError, "deflateInit()");
        DeflateGuard guard{z};
        char out[kOut];
        auto drain = [&](int flush) {
            int rc;
            do {
                z.next_out = reinterpret_cast<Bytef*>(out);
                z.avail_out = kOut;
                rc = deflate(&z, flush);
                run.Emit(out, kOut - static_cast<int>(z.avail_out));
            } while (rc == Z_OK && z.avail_out == 0);
            return rc;
        };
        run.ForEachPiece([&](const char* piece, int n) {
            z.next_in = In(piece);
            z.avail_in = static_cast<uInt>(n);
            drain(Z_NO_FLUSH);
        });
        int rc;
        do {
            rc = drain(Z_FINISH);
        } while (rc == Z_OK);
        if (rc != Z_STREAM_END) run.Fail(CPDFException::InternalError, "deflate()");
        guard.open = false;
        if (deflateEnd(&z) != Z_OK) run.Fail(CPDFException::InternalError, "deflateEnd()");
    });
}

}  // namespace corvina
