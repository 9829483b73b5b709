#include "pdf/stream/CPDFASCIIHexFilter.h"

#include "pdf/object/CPDFException.h"
#include "pdf/stream/FilterRun.h"

namespace corvina {

namespace {

constexpr const char* kModule = "CPDFASCIIHexFilter";

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsSkipped(unsigned char c) {
    return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

}  // namespace

bool CPDFASCIIHexFilter::Decode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, kModule, "Decode");
    return run.Guard([&] {
        char out[2048];
        int used = 0;
        int high = -1;  // a first digit waiting for its pair
        run.ForEachPiece([&](const char* piece, int n) {
            for (int i = 0; i < n; ++i) {
                const auto c = static_cast<unsigned char>(piece[i]);
                if (IsSkipped(c)) continue;
                if (c == '>') return false;
                const int v = HexValue(c);
                if (v < 0)
                    run.Fail(CPDFException::InvalidFormat,
                             FormatFactor("invalid char: %c", c).c_str());
                if (high < 0) {
                    high = v;
                    continue;
                }
                out[used++] = static_cast<char>(high << 4 | v);
                high = -1;
                if (used == sizeof out) {
                    run.Emit(out, used);
                    used = 0;
                }
            }
            return true;
        });
        if (high >= 0) out[used++] = static_cast<char>(high << 4);
        run.Emit(out, used);
    });
}

bool CPDFASCIIHexFilter::Encode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, kModule, "Encode");
    return run.Guard([&] {
        static const char kDigits[] = "0123456789ABCDEF";
        char out[8192];
        run.ForEachPiece([&](const char* piece, int n) {
            for (int i = 0; i < n; ++i) {
                const auto c = static_cast<unsigned char>(piece[i]);
                out[2 * i] = kDigits[c >> 4];
                out[2 * i + 1] = kDigits[c & 15];
            }
            run.Emit(out, 2 * n);
        });
        run.Emit('>');
    });
}

}  // namespace corvina
