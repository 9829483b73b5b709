#include "pdf/stream/CPDFLZWFilter.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/stream/CPDFPredictor.h"
#include "pdf/stream/FilterRun.h"

namespace corvina {

namespace {

constexpr const char* kModule = "CPDFLZWFilter";
constexpr int kClear = 256;
constexpr int kEnd = 257;
constexpr int kFirstCode = 258;
constexpr int kTableSize = 4096;
constexpr int kMaxBits = 12;

// The code width once next codes are in the table.
int WidthFor(int next, int early) {
    if (next + early >= 2048) return 12;
    if (next + early >= 1024) return 11;
    if (next + early >= 512) return 10;
    return 9;
}

int EarlyChange(FilterData& data) {
    if (!data.parms) return 1;
    CPDFNumber* n = data.parms->GetAs<CPDFNumber>(data.doc, "EarlyChange");
    return n && n->IntValue() == 0 ? 0 : 1;
}

}  // namespace

bool CPDFLZWFilter::Decode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, kModule, "Decode");
    return run.Guard([&] {
        const int early = EarlyChange(data);
        CPDFPredictor predictor(run, data.parms, data.doc);
        // Each entry is its prefix's code and its last byte; a string is
        // spelled backwards into `word`, at most one table's length long.
        std::vector<uint16_t> prefix(kTableSize);
        std::vector<unsigned char> suffix(kTableSize), first(kTableSize);
        std::vector<uint16_t> length(kTableSize);
        for (int c = 0; c < 256; ++c) {
            suffix[c] = first[c] = static_cast<unsigned char>(c);
            length[c] = 1;
        }
        std::vector<char> word(kTableSize + 1);
        int next = kFirstCode;
        int width = 9;
        int previous = -1;
        uint32_t bits = 0;
        int held = 0;
        bool ended = false;
        auto spell = [&](int code, int n) {
            for (int i = n - 1; i >= 0; --i) {
                word[static_cast<size_t>(i)] = static_cast<char>(suffix[code]);
                code = prefix[code];
            }
            predictor.Push(word.data(), n);
        };
        run.ForEachPiece([&](const char* piece, int n) {
            for (int i = 0; i < n; ++i) {
                bits = (bits << 8) | static_cast<unsigned char>(piece[i]);
                held += 8;
                while (held >= width) {
                    const int code =
                        static_cast<int>((bits >> (held - width)) & ((1u << width) - 1));
                    held -= width;
                    if (code == kClear) {
                        next = kFirstCode;
                        width = 9;
                        previous = -1;
                        continue;
                    }
                    if (code == kEnd) {
                        ended = true;
                        return false;
                    }
                    if (previous < 0) {
                        if (code > 255)
                            run.Fail(CPDFException::InvalidFormat,
                                     FormatFactor("LZW code %d before any string", code).c_str());
                        spell(code, 1);
                        previous = code;
                        continue;
                    }
                    if (code > next || (code == next && next >= kTableSize))
                        run.Fail(
                            CPDFException::InvalidFormat,
                            FormatFactor("LZW code %d past the table's %d", code, next).c_str());
                    // The new entry: the previous string and the first byte of
                    // this one (of itself, when this code is the one being made).
                    const unsigned char head = code == next ? first[previous] : first[code];
                    if (next < kTableSize) {
                        prefix[next] = static_cast<uint16_t>(previous);
                        suffix[next] = head;
                        first[next] = first[previous];
                        length[next] = static_cast<uint16_t>(length[previous] + 1);
                        ++next;
                    }
                    spell(code, length[code]);
                    previous = code;
                    width = WidthFor(next, early);
                    if (width > kMaxBits) width = kMaxBits;
                }
            }
            return true;
        });
        if (!ended) data.warning = "LZW data ended without its end code";
        predictor.Finish();
    });
}

bool CPDFLZWFilter::Encode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, kModule, "Encode");
    return run.Guard([&] {
        // (prefix code << 8 | byte) -> code.
        std::unordered_map<uint32_t, int> table;
        int next = kFirstCode;
        int current = -1;
        uint32_t bits = 0;
        int held = 0;
        char out[4096];
        int used = 0;
        int sinceClear = 0;
        // A code goes out at the width the reader has then: the reader makes
        // each entry one code later than the writer.
        auto put = [&](int code) {
            const int width = WidthFor(sinceClear == 0 ? next : next - 1, 1);
            sinceClear = code == kClear ? 0 : sinceClear + 1;
            bits = (bits << width) | static_cast<uint32_t>(code);
            held += width;
            while (held >= 8) {
                out[used++] = static_cast<char>(bits >> (held - 8));
                held -= 8;
                if (used == static_cast<int>(sizeof out)) {
                    run.Emit(out, used);
                    used = 0;
                }
            }
        };
        put(kClear);
        run.ForEachPiece([&](const char* piece, int n) {
            for (int i = 0; i < n; ++i) {
                const auto byte = static_cast<unsigned char>(piece[i]);
                if (current < 0) {
                    current = byte;
                    continue;
                }
                const uint32_t key = static_cast<uint32_t>(current) << 8 | byte;
                if (const auto found = table.find(key); found != table.end()) {
                    current = found->second;
                    continue;
                }
                put(current);
                table.emplace(key, next++);
                current = byte;
                // Cleared before the reader's table would pass 12 bits.
                if (next >= kTableSize - 2) {
                    put(kClear);
                    table.clear();
                    next = kFirstCode;
                }
            }
        });
        if (current >= 0) {
            put(current);
            ++next;
        }
        put(kEnd);
        if (held > 0) out[used++] = static_cast<char>(bits << (8 - held));
        run.Emit(out, used);
    });
}

}  // namespace corvina
