// Flate's predictors: every PNG row tag and the TIFF predictor at every
// component size undo what an independent encoder here did, row by row, and
// hostile parameters are refused before anything is allocated for them.
#include "pdf/stream/CPDFPredictor.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/stream/CPDFStream.h"
#include "support/XRefStreamPdf.h"

using corvina::CPDFDict;
using corvina::CPDFException;
using corvina::CPDFInt;
using corvina::CPDFName;
using corvina::CPDFStream;

namespace {

struct Parms {
    int predictor, colors, bpc, columns;
};

// Decodes data with FlateDecode and the parameters; the error's factor on failure.
std::string Decode(const std::string& encoded, const Parms& p, bool* ok) {
    CPDFStream s;
    const std::string packed = Deflate(encoded);
    s.SetData(packed.data(), static_cast<int32_t>(packed.size()));
    s.Insert("Filter", std::make_unique<CPDFName>("FlateDecode"));
    auto parms = std::make_unique<CPDFDict>();
    parms->Insert("Predictor", std::make_unique<CPDFInt>(p.predictor));
    parms->Insert("Colors", std::make_unique<CPDFInt>(p.colors));
    parms->Insert("BitsPerComponent", std::make_unique<CPDFInt>(p.bpc));
    parms->Insert("Columns", std::make_unique<CPDFInt>(p.columns));
    s.Insert("DecodeParms", std::move(parms));
    CPDFException error;
    *ok = s.DecodeAllFilter(&error);
    if (!*ok) return error.GetFactor();
    return std::string(s.GetData(), static_cast<size_t>(s.GetDataLength()));
}

std::string Sample(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = static_cast<char>(seed >> 16);
    }
    return s;
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// The PNG encoder: row r filtered with tags[r % tags.size()].
std::string PngEncode(const std::string& raw, size_t row, size_t bpp, const std::string& tags) {
    std::string out;
    std::string above(row, '\0');
    for (size_t r = 0; r * row < raw.size(); ++r) {
        const std::string cur = raw.substr(r * row, row);
        const int tag = tags[r % tags.size()];
        out += static_cast<char>(tag);
        for (size_t i = 0; i < cur.size(); ++i) {
            const int x = static_cast<unsigned char>(cur[i]);
            const int a = i >= bpp ? static_cast<unsigned char>(cur[i - bpp]) : 0;
            const int b = static_cast<unsigned char>(above[i]);
            const int c = i >= bpp ? static_cast<unsigned char>(above[i - bpp]) : 0;
            const int pred = tag == 1   ? a
                             : tag == 2 ? b
                             : tag == 3 ? (a + b) / 2
                             : tag == 4 ? Paeth(a, b, c)
                                        : 0;
            out += static_cast<char>(x - pred);
        }
        above = cur + std::string(row - cur.size(), '\0');
    }
    return out;
}

// The TIFF encoder: each component minus the same component of the pixel before.
std::string TiffEncode(const std::string& raw, size_t row, int colors, int bpc, int columns) {
    std::string out = raw;
    const unsigned mask = bpc == 16 ? 0xFFFF : (1u << bpc) - 1;
    for (size_t r = 0; r * row < raw.size(); ++r) {
        auto get = [&](const std::string& s, int k) -> unsigned {
            const size_t bit = r * row * 8 + static_cast<size_t>(k) * bpc;
            if (bpc == 16)
                return (static_cast<unsigned char>(s[bit / 8]) << 8) |
                       static_cast<unsigned char>(s[bit / 8 + 1]);
            return (static_cast<unsigned char>(s[bit / 8]) >> (8 - bpc - bit % 8)) & mask;
        };
        for (int k = columns * colors - 1; k >= colors; --k) {
            const size_t bit = r * row * 8 + static_cast<size_t>(k) * bpc;
            if (bit / 8 + (bpc == 16 ? 1 : 0) >= raw.size()) continue;
            const unsigned v = (get(raw, k) - get(raw, k - colors)) & mask;
            if (bpc == 16) {
                out[bit / 8] = static_cast<char>(v >> 8);
                out[bit / 8 + 1] = static_cast<char>(v);
            } else {
                const unsigned shift = static_cast<unsigned>(8 - bpc - bit % 8);
                out[bit / 8] = static_cast<char>(
                    (static_cast<unsigned char>(out[bit / 8]) & ~(mask << shift)) | (v << shift));
            }
        }
    }
    return out;
}

TEST(CPDFPredictor, PngRowsOfEveryTag) {
    struct Case {
        int colors, bpc, columns;
        std::string tags;
        size_t bytes;  // a short last row when not a multiple of the row
    } cases[] = {{3, 8, 5, std::string("\x00\x01\x02\x03\x04", 5), 75},
                 {1, 8, 7, "\x04\x03\x02\x01", 7 * 9 + 3},
                 {2, 16, 3, "\x01\x04\x02", 12 * 4},
                 {1, 1, 20, "\x02\x04", 3 * 6 + 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const size_t row = (static_cast<size_t>(c.columns) * c.colors * c.bpc + 7) / 8;
        const size_t bpp = static_cast<size_t>((c.colors * c.bpc + 7) / 8);
        const std::string raw = Sample(c.bytes, static_cast<unsigned>(c.bytes));
        bool ok = false;
        EXPECT_EQ(Decode(PngEncode(raw, row, bpp, c.tags), {12, c.colors, c.bpc, c.columns}, &ok),
                  raw);
        EXPECT_TRUE(ok);
    }
}

TEST(CPDFPredictor, TiffAtEveryComponentSize) {
    for (int bpc : {1, 2, 4, 8, 16}) {
        for (int colors : {1, 3}) {
            SCOPED_TRACE(std::to_string(bpc) + " bits, colors " + std::to_string(colors));
            const int columns = 11;
            const size_t row = (static_cast<size_t>(columns) * colors * bpc + 7) / 8;
            const std::string raw = Sample(row * 4, static_cast<unsigned>(bpc * 7 + colors));
            // Padding bits at a row's end are not components: keep them zero.
            std::string clean = raw;
            const size_t pad = row * 8 - static_cast<size_t>(columns) * colors * bpc;
            for (size_t r = 0; r < 4 && pad; ++r)
                clean[r * row + row - 1] = static_cast<char>(
                    static_cast<unsigned char>(clean[r * row + row - 1]) & (0xFF << pad));
            bool ok = false;
            EXPECT_EQ(Decode(TiffEncode(clean, row, colors, bpc, columns),
                             {2, colors, bpc, columns}, &ok),
                      clean);
            EXPECT_TRUE(ok);
        }
    }
}

TEST(CPDFPredictor, HostileParametersAreRefused) {
    struct Case {
        Parms parms;
        std::string data;
        const char* factor;
    } cases[] = {
        {{12, 1, 8, 2000000000}, "\x00\x01", "predictor row of 2000000000 columns is too long"},
        {{2, 32, 16, 1 << 20}, "\x00", "predictor row of 1048576 columns is too long"},
        {{7, 1, 8, 1}, "\x00", "invalid /Predictor 7"},
        {{12, 1, 3, 1}, "\x00", "invalid /BitsPerComponent 3"},
        {{12, 0, 8, 1}, "\x00", "invalid /Colors 0"},
        {{12, 1, 8, 0}, "\x00", "invalid /Columns 0"},
        {{12, 1, 8, 2}, std::string("\x09\x01\x02", 3), "invalid png predictor tag 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.factor);
        bool ok = true;
        EXPECT_EQ(Decode(c.data, c.parms, &ok), c.factor);
        EXPECT_FALSE(ok);
    }
    // Predictor 1 is no prediction at all.
    bool ok = false;
    EXPECT_EQ(Decode("\x09\x01", {1, 1, 8, 1}, &ok), "\x09\x01");
}

}  // namespace
