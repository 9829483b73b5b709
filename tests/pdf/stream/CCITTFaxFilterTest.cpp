// The fax filter: the dictionary's and the parameters' entries, round trips
// in every coding, agreement with libtiff's tools and MuPDF, and damaged data.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <string>
#include <vector>

#include "pdf/object/CPDFException.h"
#include "pdf/stream/CPDFStream.h"
#include "support/E2E.h"
#include "support/ImageStream.h"
#include "support/PdfBuilder.h"
#include "support/ScratchDir.h"

using corvina::CPDFException;
using corvina::CPDFStream;
using corvina::testing::ImageStream;
using corvina::testing::PnmSamples;
using corvina::testing::StreamData;
using corvina::testing::StreamDict;

namespace {

// Rows of w pixels, 1 for black, the unused bits of each row's last byte 0.
std::string Bilevel(int w, int h) {
    const int stride = (w + 7) / 8;
    std::string s(static_cast<size_t>(stride * h), '\0');
    uint32_t r = 7;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            r = r * 1103515245 + 12345;
            const bool black = ((x / 5 + y / 3) % 3 == 0) != ((r >> 20) % 97 == 0);
            if (black)
                s[static_cast<size_t>(y * stride + x / 8)] |= static_cast<char>(0x80 >> (x % 8));
        }
    return s;
}

// Every bit flipped, the unused ones of each row included, as MuPDF gives
// data whose black is 0.
std::string Invert(std::string bits) {
    for (char& c : bits) c = static_cast<char>(~c);
    return bits;
}

std::string FaxDict(int w, int h, const std::string& extra = "") {
    return "<</Width " + std::to_string(w) + " /Height " + std::to_string(h) +
           " /BitsPerComponent 1 /ColorSpace /DeviceGray" + extra + ">>";
}

// The one strip of a TIFF file as stored.
std::string RawStrip(const std::string& path) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif || TIFFNumberOfStrips(tif) != 1) return "";
    std::string s(static_cast<size_t>(TIFFRawStripSize(tif, 0)), '\0');
    if (TIFFReadRawStrip(tif, 0, s.data(), static_cast<tmsize_t>(s.size())) < 0) s.clear();
    TIFFClose(tif);
    return s;
}

// One-dimensional rows as libtiff writes them in the given fax mode (no EOL
// codes, rows byte-aligned or not), through a file in dir.
std::string NoEolRows(const ScratchDir& dir, const std::string& bits, int w, int h, int mode) {
    const std::string path = dir.File("noeol.tif");
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif) return "";
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, h);
    TIFFSetField(tif, TIFFTAG_FAXMODE, mode);
    std::string row;
    for (int y = 0; y < h; ++y) {
        row = bits.substr(static_cast<size_t>(y * ((w + 7) / 8)), static_cast<size_t>((w + 7) / 8));
        TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0);
    }
    TIFFClose(tif);
    return RawStrip(path);
}

}  // namespace

TEST(CCITTFaxFilterTest, EntriesAreChecked) {
    struct Case {
        std::string dict;
        bool encode;
        const char* factor;
    } cases[] = {
        {"<</Width 8 /Height 1 /BitsPerComponent 2 /ColorSpace /DeviceGray>>", false,
         "invalid BitsPerComponent: 2"},
        {"<</Width 8 /Height 1 /BitsPerComponent 1 /ColorSpace /DeviceRGB>>", true,
         "invalid ColorSpace: DeviceRGB"},
        {"<</Width 8 /Height 1 /BitsPerComponent 1 /ColorSpace 4>>", false, "typecheck: Number"},
        {"<</Width 8 /Height 1 /BitsPerComponent 1 /ImageMask false>>", false,
         "invalid ImageMask: 0"},
        {"<</Height 1 /BitsPerComponent 1 /ColorSpace /DeviceGray>>", true,
         "missing value of Width key"},
        {FaxDict(8, 1, " /Decode [0 0.5]"), true, "invalid Decode Array"},
        {FaxDict(8, 1, " /Decode [1 0 1]"), true, "invalid Decode Array"},
        {FaxDict(8, 1, " /Decode /Invert"), true, "invalid Decode Array"},
        {FaxDict(8, 5), true, "image data too short: 4 bytes for 5"},
        // Sizes the data cannot hold are refused before anything is made.
        {FaxDict(8, 1000), false, "invalid image size: 8x1000"},
        {FaxDict(2000000000, 1000), false, "invalid image size: 2000000000x1000"},
        {FaxDict(0, 1), false, "invalid image size: 0x1"},
    };
    for (const auto& c : cases) {
        auto s = ImageStream(c.dict, "\x01\x02\x03\x04");
        CPDFException e;
        EXPECT_FALSE(c.encode ? s->EncodeCCITTFax(0, &e) : s->DecodeCCITTFax(nullptr, &e))
            << c.dict;
        EXPECT_STREQ(e.GetFactor(), c.factor) << c.dict;
        EXPECT_STREQ(e.GetModule(), "CPDFCCITTFaxFilter");
        EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat);
        EXPECT_EQ(StreamData(*s), "\x01\x02\x03\x04");
        EXPECT_EQ(StreamDict(*s).find("/Filter"), std::string::npos);
    }
}

// Every coding, both senses of black, and a mask: encoding records the
// parameters a reader needs, decoding gives the samples back and the
// dictionary as it was.
TEST(CCITTFaxFilterTest, RoundTripsExactly) {
    struct Case {
        int k;
        std::string extra;  // Decode or ImageMask
        std::string parms;
        std::string decodedExtra;
    } cases[] = {
        {-1, "", "<</BlackIs1 true/Columns 45/K -1>>", ""},
        {0, "", "<</BlackIs1 true/Columns 45/K 0>>", ""},
        {4, "", "<</BlackIs1 true/Columns 45/K 1>>", ""},
        {-1, " /Decode [1 0]", "<</Columns 45/K -1>>", "/Decode [1 0]"},
        {0, " /Decode [0 1]", "<</BlackIs1 true/Columns 45/K 0>>", ""},
        {1, " /Decode [1.0 0.0]", "<</Columns 45/K 1>>", "/Decode [1 0]"},
    };
    const int w = 45, h = 33;
    const std::string bits = Bilevel(w, h);
    for (const auto& c : cases) {
        auto s = ImageStream(FaxDict(w, h, c.extra), bits);
        CPDFException e;
        ASSERT_TRUE(s->EncodeCCITTFax(c.k, &e)) << c.k << c.extra << ": " << e.GetFactor();
        const std::string dict = StreamDict(*s);
        EXPECT_NE(dict.find("/DecodeParms " + c.parms), std::string::npos) << dict;
        EXPECT_NE(dict.find("/Filter /CCITTFaxDecode"), std::string::npos) << dict;
        EXPECT_EQ(dict.find("/Decode "), std::string::npos) << dict;
        EXPECT_LT(s->GetDataLength(), static_cast<int32_t>(bits.size()));
        ASSERT_TRUE(s->DecodeAllFilter(&e)) << c.k << c.extra << ": " << e.GetFactor();
        EXPECT_TRUE(StreamData(*s) == bits) << c.k << c.extra;
        EXPECT_EQ(StreamDict(*s), "<</BitsPerComponent 1/ColorSpace /DeviceGray" + c.decodedExtra +
                                      "/Height 33/Length " + std::to_string(bits.size()) +
                                      "/Width 45>>")
            << c.k << c.extra;
    }
}

// Data without parameters, or without K, is the format's default coding
// (K 0); Columns that differ from Width decide the row length.
TEST(CCITTFaxFilterTest, DefaultsAndColumns) {
    const int w = 24, h = 10;
    const std::string bits = Bilevel(w, h);
    auto s = ImageStream(FaxDict(w, h), bits);
    ASSERT_TRUE(s->EncodeCCITTFax(0, nullptr));
    const std::string coded = StreamData(*s);
    for (const char* parms : {"", "<<>>", "<</BlackIs1 true>>", "<</Columns 24>>"}) {
        auto t = ImageStream(FaxDict(w, h), coded);
        auto p = std::string(parms).empty() ? nullptr : corvina::testing::ParseText(parms);
        CPDFException e;
        ASSERT_TRUE(t->DecodeFilter("CCITTFaxDecode", p.get(), &e)) << parms << e.GetFactor();
        const bool blackIs1 = std::string(parms).find("BlackIs1") != std::string::npos;
        EXPECT_TRUE(StreamData(*t) == bits) << parms;
        EXPECT_EQ(StreamDict(*t).find("/Decode [1 0]") == std::string::npos, blackIs1) << parms;
    }
    // The same rows read as 16 columns: as long, and the difference said.
    auto narrow = ImageStream(FaxDict(w, h), coded);
    auto p = corvina::testing::ParseText("<</Columns 16 /K 0>>");
    CPDFException e;
    ASSERT_TRUE(narrow->DecodeFilter("CCITTFaxDecode", p.get(), &e)) << e.GetFactor();
    EXPECT_EQ(narrow->GetDataLength(), 2 * h);
    EXPECT_NE(narrow->FilterWarning().find("Columns 16 differ from Width 24"), std::string::npos)
        << narrow->FilterWarning();
}

// Fax data written by libtiff's tiffcp, decoded here, by tiffcp and by
// MuPDF: the same samples, up to the inversion that Decode [1 0] records.
TEST(CCITTFaxFilterTest, AgreesWithTiffcpAndMupdf) {
    E2E_REQUIRE("ppm2tiff");
    E2E_REQUIRE("tiffcp");
    const int w = 37, h = 29;
    const std::string bits = Bilevel(w, h);
    ScratchDir dir;
    const std::string pbm = dir.Write("in.pbm", "P4\n37 29\n" + bits);
    ASSERT_EQ(e2e::Run({"ppm2tiff", pbm, dir.File("in.tif")}).code, 0);
    struct Case {
        const char* coding;
        int k;
    } cases[] = {{"g3", 0}, {"g3:2d", 1}, {"g4", -1}};
    for (const auto& c : cases) {
        for (bool blackIs1 : {true, false}) {
            const std::string tif = dir.File(std::string(c.coding) + ".tif");
            ASSERT_EQ(
                e2e::Run({"tiffcp", "-c", c.coding, "-r", "1000", dir.File("in.tif"), tif}).code,
                0);
            const std::string coded = RawStrip(tif);
            ASSERT_FALSE(coded.empty()) << c.coding;
            const std::string parms = "<</K " + std::to_string(c.k) + " /Columns 37" +
                                      (blackIs1 ? " /BlackIs1 true" : "") + ">>";
            auto s =
                ImageStream(FaxDict(w, h, " /Filter /CCITTFaxDecode /DecodeParms " + parms), coded);
            CPDFException e;
            ASSERT_TRUE(s->DecodeAllFilter(&e)) << c.coding << ": " << e.GetFactor();
            const std::string ours = StreamData(*s);
            EXPECT_TRUE(ours == bits) << c.coding;
            EXPECT_EQ(StreamDict(*s).find("/Decode [1 0]") != std::string::npos, !blackIs1);

            ASSERT_EQ(e2e::Run({"tiffcp", "-c", "none", tif, dir.File("plain.tif")}).code, 0);
            EXPECT_TRUE(RawStrip(dir.File("plain.tif")) == ours) << c.coding;

            if (!e2e::Have("mutool")) continue;
            const std::string pdf = dir.Write(
                "fax.pdf",
                PdfBuilder::OnePage()
                    .Obj(4, FaxDict(w, h,
                                    " /Type /XObject /Subtype /Image /Filter /CCITTFaxDecode"
                                    " /DecodeParms " +
                                        parms + " /Length " + std::to_string(coded.size()))
                                    .substr(0) +
                                "\nstream\n" + coded + "\nendstream")
                    .Bytes());
            const e2e::RunResult shown = e2e::Run({"mutool", "show", "-b", pdf, "4"});
            ASSERT_EQ(shown.code, 0) << shown.err;
            EXPECT_TRUE(shown.out == (blackIs1 ? ours : Invert(ours)))
                << c.coding << " BlackIs1 " << blackIs1;
        }
    }
}

// The format's default: one-dimensional rows without end-of-line codes,
// packed or byte-aligned; MuPDF must see the same image.
TEST(CCITTFaxFilterTest, RowsWithoutEndOfLineCodes) {
    const int w = 43, h = 17;
    const std::string bits = Bilevel(w, h);
    ScratchDir dir;
    for (bool aligned : {false, true}) {
        const int mode = FAXMODE_NORTC | FAXMODE_NOEOL | (aligned ? FAXMODE_BYTEALIGN : 0);
        const std::string coded = NoEolRows(dir, bits, w, h, mode);
        ASSERT_FALSE(coded.empty());
        const std::string parms = std::string("<</Columns 43") +
                                  (aligned ? " /EncodedByteAlign true" : "") + " /BlackIs1 true>>";
        auto s = ImageStream(FaxDict(w, h), coded);
        auto p = corvina::testing::ParseText(parms);
        CPDFException e;
        ASSERT_TRUE(s->DecodeFilter("CCITTFaxDecode", p.get(), &e)) << aligned << e.GetFactor();
        EXPECT_TRUE(StreamData(*s) == bits) << aligned;
        if (!e2e::Have("mutool")) continue;
        const std::string pdf = dir.Write(
            "noeol.pdf", PdfBuilder::OnePage()
                             .Obj(4, FaxDict(w, h,
                                             " /Filter /CCITTFaxDecode /DecodeParms " + parms +
                                                 " /Length " + std::to_string(coded.size())) +
                                         "\nstream\n" + coded + "\nendstream")
                             .Bytes());
        const e2e::RunResult shown = e2e::Run({"mutool", "show", "-b", pdf, "4"});
        EXPECT_TRUE(shown.out == bits) << aligned << shown.err;
    }
}

TEST(CCITTFaxFilterTest, DamagedDataFailsCleanly) {
    const int w = 40, h = 20;
    const std::string bits = Bilevel(w, h);
    auto s = ImageStream(FaxDict(w, h), bits);
    ASSERT_TRUE(s->EncodeCCITTFax(-1, nullptr));
    const std::string coded = StreamData(*s);
    std::string garbage(64, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 73 + 11);
    struct Case {
        std::string data;
        int k;
    } cases[] = {{coded.substr(0, coded.size() / 2), -1},
                 {garbage, -1},
                 {garbage, 0},
                 {garbage, 1},
                 {std::string(60, '\xff'), 0}};
    for (const auto& c : cases) {
        auto t = ImageStream(FaxDict(w, h), c.data);
        auto p = corvina::testing::ParseText("<</K " + std::to_string(c.k) + ">>");
        CPDFException e;
        if (t->DecodeFilter("CCITTFaxDecode", p.get(), &e)) {
            // A partial image: all its rows, what the data did not hold white.
            EXPECT_EQ(t->GetDataLength(), static_cast<int32_t>(bits.size())) << c.k;
        } else {
            EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat) << e.GetFactor();
            EXPECT_NE(std::string(e.GetFactor()), "") << c.k;
            EXPECT_TRUE(StreamData(*t) == c.data);
        }
    }
}
