#include "pdf/stream/CPDFASCII85Filter.h"

#include <cstdint>

#include "pdf/object/CPDFException.h"
#include "pdf/stream/FilterRun.h"

namespace corvina {

namespace {

constexpr const char* kModule = "CPDFASCII85Filter";

bool IsSkipped(unsigned char c) {
    return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

// A group of five digits above 2^32 - 1 ("uuuuu") keeps its low 32 bits, as
// other readers do.
void PutGroup(uint64_t value, char* out, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<char>(value >> (24 - 8 * i));
}

}  // namespace

bool CPDFASCII85Filter::Decode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, kModule, "Decode");
    return run.Guard([&] {
        char out[4096];
        int used = 0;
        uint64_t value = 0;
        int digits = 0;      // of the group being collected
        char lastDigit = 0;  // named when a single digit is left over
        bool tilde = false;  // a "~" waits for its ">"
        auto room = [&] {
            if (used + 4 > static_cast<int>(sizeof out)) {
                run.Emit(out, used);
                used = 0;
            }
        };
        auto invalid = [&](unsigned char c) {
            run.Fail(CPDFException::InvalidFormat, FormatFactor("invalid char: %c", c).c_str());
        };
        run.ForEachPiece([&](const char* piece, int n) {
            for (int i = 0; i < n; ++i) {
                const auto c = static_cast<unsigned char>(piece[i]);
                if (IsSkipped(c)) continue;
                if (tilde) {
                    // Anything but ">" after "~" is a broken end marker.
                    if (c == '>') return false;
                    run.Fail(CPDFException::InvalidFormat, "invalid eod");
                }
                if (c == '~') {
                    tilde = true;
                } else if (c == 'z') {
                    if (digits > 0) invalid(c);
                    room();
                    PutGroup(0, out + used, 4);
                    used += 4;
                } else if (c >= '!' && c <= 'u') {
                    value = value * 85 + (c - '!');
                    lastDigit = static_cast<char>(c);
                    if (++digits == 5) {
                        room();
                        PutGroup(value, out + used, 4);
                        used += 4;
                        value = 0;
                        digits = 0;
                    }
                } else {
                    invalid(c);
                }
            }
            return true;
        });
        if (digits == 1) invalid(static_cast<unsigned char>(lastDigit));
        if (digits > 1) {
            // Padding with the highest digit rounds the value up, so the
            // bytes kept are the ones that were encoded.
            const int kept = digits - 1;
            for (; digits < 5; ++digits) value = value * 85 + 84;
            room();
            PutGroup(value, out + used, kept);
            used += kept;
        }
        run.Emit(out, used);
    });
}

bool CPDFASCII85Filter::Encode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, kModule, "Encode");
    return run.Guard([&] {
        char out[8192];
        int used = 0;
        unsigned char group[4];
        int held = 0;  // bytes of a group that spans two pieces
        // Writes the first count of the five digits of a group.
        auto put = [&](int count) {
            uint32_t value = static_cast<uint32_t>(group[0]) << 24 |
                             static_cast<uint32_t>(group[1]) << 16 |
                             static_cast<uint32_t>(group[2]) << 8 | group[3];
            char digits[5];
            for (int i = 4; i >= 0; --i) {
                digits[i] = static_cast<char>('!' + value % 85);
                value /= 85;
            }
            for (int i = 0; i < count; ++i) out[used++] = digits[i];
        };
        run.ForEachPiece([&](const char* piece, int n) {
            for (int i = 0; i < n; ++i) {
                group[held++] = static_cast<unsigned char>(piece[i]);
                if (held < 4) continue;
                held = 0;
                if ((group[0] | group[1] | group[2] | group[3]) == 0)
                    out[used++] = 'z';
                else
                    put(5);
            }
            // A piece of 4096 bytes gives at most 5120 digits.
            run.Emit(out, used);
            used = 0;
        });
        if (held > 0) {
            for (int i = held; i < 4; ++i) group[i] = 0;
            put(held + 1);
        }
        out[used++] = '~';
        out[used++] = '>';
        run.Emit(out, used);
    });
}

}  // namespace corvina
