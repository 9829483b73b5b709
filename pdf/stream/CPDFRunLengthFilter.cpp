#include "pdf/stream/CPDFRunLengthFilter.h"

#include <cstring>

#include "pdf/object/CPDFException.h"
#include "pdf/stream/FilterRun.h"

namespace corvina {

namespace {

constexpr const char* kModule = "CPDFRunLengthFilter";
constexpr int kEnd = 128;
constexpr int kMaxRecord = 128;

}  // namespace

bool CPDFRunLengthFilter::Decode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, kModule, "Decode");
    return run.Guard([&] {
        char out[4096];
        int used = 0;
        int literal = 0;  // literal bytes still to copy
        int repeat = 0;   // count of a run whose byte is still to come
        auto flush = [&](int need) {
            if (used + need > static_cast<int>(sizeof out)) {
                run.Emit(out, used);
                used = 0;
            }
        };
        // Records may be split between pieces, so the state above carries over.
        run.ForEachPiece([&](const char* piece, int n) {
            int i = 0;
            while (i < n) {
                if (literal > 0) {
                    const int take = literal < n - i ? literal : n - i;
                    flush(take);
                    std::memcpy(out + used, piece + i, static_cast<size_t>(take));
                    used += take;
                    literal -= take;
                    i += take;
                    continue;
                }
                if (repeat > 0) {
                    flush(repeat);
                    std::memset(out + used, piece[i++], static_cast<size_t>(repeat));
                    used += repeat;
                    repeat = 0;
                    continue;
                }
                const int length = static_cast<unsigned char>(piece[i++]);
                if (length == kEnd) return false;
                if (length < kEnd)
                    literal = length + 1;
                else
                    repeat = 257 - length;
            }
            return true;
        });
        run.Emit(out, used);
        // The bytes that were there are kept, as for a short Flate stream; the
        // caller can see that a record was cut.
        if (literal > 0 || repeat > 0)
            data.warning = FormatFactor("run-length data ended inside a record after %d bytes",
                                        data.result.Length());
    });
}

bool CPDFRunLengthFilter::Encode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, kModule, "Encode");
    return run.Guard([&] {
        // A piece of 4096 bytes gives at most 4096 + 32 literal record bytes.
        char out[8192];
        int used = 0;
        char literal[kMaxRecord];
        int held = 0;  // literal bytes waiting for their record
        char runByte = 0;
        int runCount = 0;  // equal bytes seen so far, not yet written
        auto endLiteral = [&] {
            if (held == 0) return;
            out[used++] = static_cast<char>(held - 1);
            std::memcpy(out + used, literal, static_cast<size_t>(held));
            used += held;
            held = 0;
        };
        // Three or more equal bytes are a run record; fewer join the literal.
        auto endRun = [&] {
            if (runCount >= 3) {
                endLiteral();
                out[used++] = static_cast<char>(257 - runCount);
                out[used++] = runByte;
            } else {
                for (int k = 0; k < runCount; ++k) {
                    literal[held++] = runByte;
                    if (held == kMaxRecord) endLiteral();
                }
            }
            runCount = 0;
        };
        run.ForEachPiece([&](const char* piece, int n) {
            for (int i = 0; i < n; ++i) {
                if (runCount > 0 && piece[i] == runByte && runCount < kMaxRecord) {
                    ++runCount;
                    continue;
                }
                endRun();
                runByte = piece[i];
                runCount = 1;
            }
            run.Emit(out, used);
            used = 0;
        });
        endRun();
        endLiteral();
        out[used++] = static_cast<char>(kEnd);
        run.Emit(out, used);
    });
}

}  // namespace corvina
