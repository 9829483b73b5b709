// The JPEG filter: the dictionary's entries, round trips, agreement with
// libjpeg's own tools, and damaged data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/io/TempName.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/stream/CPDFStream.h"
#include "support/E2E.h"
#include "support/ImageStream.h"
#include "support/ScratchDir.h"

using corvina::CPDFException;
using corvina::CPDFStream;
using corvina::testing::ImageStream;
using corvina::testing::PnmSamples;
using corvina::testing::StreamData;
using corvina::testing::StreamDict;

namespace {

// A smooth picture with a few edges: what lossy coding keeps close.
std::string Picture(int w, int h, int components) {
    std::string s;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < components; ++c) {
                const int t = (x * 4 + y * 3 + c * 70) % 400;
                s += static_cast<char>((t < 200 ? t : 400 - t) + ((x / 16 + y / 16) % 2) * 40);
            }
    return s;
}

std::string ImageDict(int w, int h, const std::string& space, int bits = 8) {
    return "<</Width " + std::to_string(w) + " /Height " + std::to_string(h) +
           " /BitsPerComponent " + std::to_string(bits) + " /ColorSpace " + space + ">>";
}

int MaxDifference(const std::string& a, const std::string& b) {
    int worst = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        worst = std::max(
            worst, std::abs(static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i])));
    return worst;
}

// A JPEG made by cjpeg from a PNM of the picture; "" when cjpeg failed.
std::string Cjpeg(const ScratchDir& dir, int w, int h, int components,
                  const std::vector<std::string>& options) {
    const std::string header = (components == 1 ? "P5\n" : "P6\n") + std::to_string(w) + " " +
                               std::to_string(h) + "\n255\n";
    const std::string in = dir.Write("in.pnm", header + Picture(w, h, components));
    std::vector<std::string> argv{"cjpeg"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {"-outfile", dir.File("in.jpg"), in});
    if (e2e::Run(argv).code != 0) return "";
    return ScratchDir::Read(dir.File("in.jpg"));
}

// What djpeg gives for the JPEG bytes, as raw samples.
std::string Djpeg(const ScratchDir& dir, const std::string& jpeg) {
    const std::string in = dir.Write("djpeg.jpg", jpeg);
    e2e::Run({"djpeg", "-pnm", "-outfile", dir.File("djpeg.pnm"), in});
    return PnmSamples(ScratchDir::Read(dir.File("djpeg.pnm")));
}

}  // namespace

TEST(DCTFilterTest, DictionaryEntriesAreChecked) {
    struct Case {
        const char* dict;
        bool encode;
        const char* factor;  // null: false with nothing recorded
    } cases[] = {
        {"<</Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray>>", false, nullptr},
        {"<</Width 2 /BitsPerComponent 8 /ColorSpace /DeviceGray>>", false, nullptr},
        {"<</Width 2 /Height 2 /ColorSpace /DeviceGray>>", false, nullptr},
        {"<</Width 2 /Height 2 /BitsPerComponent 8>>", false, nullptr},
        {"<</Width 2 /Height 2 /BitsPerComponent 4 /ColorSpace /DeviceGray>>", false,
         "invalid BitsPerComponent: 4"},
        {"<</Width 2 /Height 2 /BitsPerComponent 16 /ColorSpace /DeviceRGB>>", true,
         "invalid BitsPerComponent: 16"},
        {"<</Width 2 /Height 2 /BitsPerComponent 8 /ColorSpace /Pattern>>", true,
         "invalid ColorSpace: Pattern"},
        {"<</Width 2 /Height 2 /BitsPerComponent 8 /ColorSpace [/Indexed /DeviceRGB 1 <00>]>>",
         true, "invalid ColorSpace: Indexed"},
        {"<</Width 2 /Height 2 /BitsPerComponent 8 /ColorSpace /CalRGB>>", true,
         "invalid ColorSpace: CalRGB"},
        {"<</Width 2 /Height 2 /BitsPerComponent 8 /ColorSpace 3>>", true, "typecheck: Number"},
        {"<</Width 2 /BitsPerComponent 8 /ColorSpace /DeviceGray>>", true,
         "missing value of Height key"},
        {"<</Width 3 /Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray>>", true,
         "image data too short: 4 bytes for 6"},
        {"<</Width 0 /Height 2 /BitsPerComponent 8 /ColorSpace /DeviceGray>>", true,
         "cannot write image data"},
    };
    for (const auto& c : cases) {
        auto s = ImageStream(c.dict, "\xff\xd8\x01\x02");
        CPDFException e;
        EXPECT_FALSE(c.encode ? s->EncodeDCT(75, &e) : s->DecodeDCT(nullptr, &e)) << c.dict;
        if (!c.factor) {
            EXPECT_TRUE(e.IsEmpty()) << c.dict << ": " << e.GetFactor();
        } else {
            EXPECT_STREQ(e.GetFactor(), c.factor) << c.dict;
            EXPECT_STREQ(e.GetModule(), "CPDFDCTFilter");
            EXPECT_STREQ(e.GetMethod(), c.encode ? "Encode" : "Decode");
            EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat);
        }
        EXPECT_EQ(StreamData(*s), "\xff\xd8\x01\x02") << c.dict;
    }
}

TEST(DCTFilterTest, EncodeThenDecodeKeepsSizeAndStaysClose) {
    // The quality is libjpeg's linear scale: 100 gives the standard tables,
    // less is finer.
    struct Case {
        const char* space;
        int components;
        int quality;
        int tolerance;
    } cases[] = {
        {"/DeviceGray", 1, 10, 12},    {"/DeviceRGB", 3, 10, 40},
        {"/DeviceCMYK", 4, 10, 20},    {"[/ICCBased <</N 3>>]", 3, 25, 48},
        {"[/CalGray <<>>]", 1, -5, 4},
    };
    for (const auto& c : cases) {
        const int w = 61, h = 37;  // not whole blocks, rows past one piece
        const std::string in = Picture(w, h, c.components);
        auto s = ImageStream(ImageDict(w, h, c.space), in);
        std::vector<int32_t> seen;
        auto progress = [](int32_t position, void* user) {
            static_cast<std::vector<int32_t>*>(user)->push_back(position);
        };
        corvina::PDFProgressRange range{0, 100, &seen};
        CPDFException e;
        ASSERT_TRUE(s->EncodeDCT(c.quality, &e, progress, nullptr, range))
            << c.space << ": " << e.GetFactor();
        EXPECT_EQ(StreamData(*s).substr(0, 2), "\xff\xd8");
        EXPECT_NE(StreamDict(*s).find("/Filter /DCTDecode"), std::string::npos);
        EXPECT_FALSE(seen.empty());
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        seen.clear();
        ASSERT_TRUE(s->DecodeAllFilter(&e, progress, nullptr, range)) << e.GetFactor();
        const std::string out = StreamData(*s);
        ASSERT_EQ(out.size(), in.size()) << c.space;
        EXPECT_LE(MaxDifference(out, in), c.tolerance) << c.space;
        EXPECT_EQ(seen.back(), 100);
        EXPECT_TRUE(s->FilterWarning().empty()) << s->FilterWarning();
    }
    // The quality is clamped to 0..5000.
    for (auto [asked, clamped] : {std::pair{-5, 0}, std::pair{9000, 5000}}) {
        const std::string in = Picture(20, 20, 1);
        auto a = ImageStream(ImageDict(20, 20, "/DeviceGray"), in);
        auto b = ImageStream(ImageDict(20, 20, "/DeviceGray"), in);
        ASSERT_TRUE(a->EncodeDCT(asked, nullptr));
        ASSERT_TRUE(b->EncodeDCT(clamped, nullptr));
        EXPECT_TRUE(StreamData(*a) == StreamData(*b)) << asked;
    }
}

TEST(DCTFilterTest, CancelStopsPerRow) {
    auto s = ImageStream(ImageDict(16, 16, "/DeviceGray"), Picture(16, 16, 1));
    ASSERT_TRUE(s->EncodeDCT(75, nullptr));
    const std::string jpeg = StreamData(*s);
    int calls = 0;
    auto cancel = [](bool* stop, void* user) { *stop = ++*static_cast<int*>(user) == 3; };
    CPDFException e;
    EXPECT_FALSE(s->DecodeDCT(nullptr, &e, nullptr, cancel, {0, 100, &calls}));
    EXPECT_EQ(calls, 3);
    EXPECT_STREQ(e.GetFactor(), "canceled by user");
    EXPECT_EQ(e.GetType(), CPDFException::UserError);
    EXPECT_EQ(StreamData(*s), jpeg);
}

TEST(DCTFilterTest, AgreesWithDjpeg) {
    E2E_REQUIRE("cjpeg");
    E2E_REQUIRE("djpeg");
    struct Case {
        int components;
        std::vector<std::string> options;
    } cases[] = {
        {3, {"-quality", "85"}},
        {1, {"-quality", "60"}},
        {3, {"-progressive", "-optimize"}},
        {3, {"-restart", "1", "-sample", "1x1"}},
        {1, {"-grayscale", "-arithmetic"}},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        const int w = 70, h = 45;
        const std::string jpeg = Cjpeg(dir, w, h, c.components, c.options);
        ASSERT_FALSE(jpeg.empty());
        const std::string space = c.components == 1 ? "/DeviceGray" : "/DeviceRGB";
        auto s = ImageStream(ImageDict(w, h, space), jpeg);
        CPDFException e;
        ASSERT_TRUE(s->DecodeDCT(nullptr, &e)) << e.GetFactor();
        const std::string expected = Djpeg(dir, jpeg);
        ASSERT_EQ(expected.size(), static_cast<size_t>(w * h * c.components));
        EXPECT_TRUE(StreamData(*s) == expected) << c.options[0];
    }
}

TEST(DCTFilterTest, DamagedDataFailsCleanlyOrEndsWithAWarning) {
    E2E_REQUIRE("cjpeg");
    E2E_REQUIRE("djpeg");
    ScratchDir dir;
    const int w = 64, h = 64;
    const std::string jpeg = Cjpeg(dir, w, h, 3, {"-quality", "90"});
    ASSERT_FALSE(jpeg.empty());

    // Cut in half: finished as libjpeg finishes it, with a warning.
    const std::string half = jpeg.substr(0, jpeg.size() / 2);
    auto cut = ImageStream(ImageDict(w, h, "/DeviceRGB"), half);
    CPDFException e;
    ASSERT_TRUE(cut->DecodeDCT(nullptr, &e)) << e.GetFactor();
    EXPECT_TRUE(StreamData(*cut) == Djpeg(dir, half));
    EXPECT_NE(cut->FilterWarning().find("Premature end"), std::string::npos)
        << cut->FilterWarning();

    // The JPEG's own size decides, whatever the dictionary says.
    auto other = ImageStream(ImageDict(5, 500, "/DeviceGray"), jpeg);
    ASSERT_TRUE(other->DecodeDCT(nullptr, &e));
    EXPECT_EQ(other->GetDataLength(), w * h * 3);
    EXPECT_EQ(other->FilterWarning(), "JPEG image is 64x64, the dictionary says 5x500");

    // A header claiming 60000 x 60000 is refused before anything is made.
    std::string huge = jpeg;
    const size_t sof = huge.find("\xff\xc0");
    ASSERT_NE(sof, std::string::npos);
    huge.replace(sof + 5, 4, "\xea\x60\xea\x60");
    std::string garbage = jpeg.substr(0, 200);
    for (size_t i = 2; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 37);
    for (const std::string& bad : {huge, garbage, std::string("not a jpeg at all")}) {
        auto s = ImageStream(ImageDict(w, h, "/DeviceRGB"), bad);
        EXPECT_FALSE(s->DecodeDCT(nullptr, &e));
        EXPECT_STREQ(e.GetFactor(), "cannot read image data");
        EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat);
        EXPECT_TRUE(StreamData(*s) == bad);
    }
}

// An image that ghostscript wrote with DCT into a PDF, found through the
// document, decodes to what djpeg makes of its bytes.
TEST(DCTFilterTest, GhostscriptImageDecodesAsDjpegDoes) {
    E2E_REQUIRE("gs");
    E2E_REQUIRE("djpeg");
    ScratchDir dir;
    const std::string ps = dir.Write("image.ps", R"(%!PS
/w 48 def /h 32 def /str w h mul 3 mul string def
0 1 h 1 sub { /y exch def 0 1 w 1 sub { /x exch def /i y w mul x add 3 mul def
  str i x 5 mul put str i 1 add y 7 mul put str i 2 add x y add 2 mul put } for } for
72 72 translate 200 150 scale
w h 8 [w 0 0 h neg 0 h] str false 3 colorimage showpage
)");
    const std::string pdf = dir.File("image.pdf");
    ASSERT_EQ(
        e2e::Run({"gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite",
                  "-dAutoFilterColorImages=false", "-dColorImageFilter=/DCTEncode", "-o", pdf, ps})
            .code,
        0);
    // The document and the library's temporary directory go on every way out.
    struct Opened {
        std::string savedTempDir = corvina::TempSettings::Directory();
        std::unique_ptr<corvina::CPDFLib> lib;
        corvina::CPDFDoc* doc = nullptr;
        ~Opened() {
            if (doc) lib->Close(doc);
            corvina::TempSettings::Directory() = savedTempDir;
        }
    } opened;
    opened.lib = corvina::CPDFLib::Create(dir.Path().c_str());
    ASSERT_TRUE(opened.lib);
    CPDFException e;
    opened.doc = opened.lib->Open(pdf.c_str(), nullptr, &e);
    ASSERT_TRUE(opened.doc) << e.GetFactor();
    int images = 0;
    for (int num = 1; num < 40; ++num) {
        auto* s = dynamic_cast<CPDFStream*>(opened.doc->GetObj(corvina::CPDFObjRef(num, 0)));
        if (!s || !corvina::IsNameEqual(s->Get_Filter(), "DCTDecode")) continue;
        ++images;
        const std::string jpeg = StreamData(*s);
        ASSERT_TRUE(s->DecodeAllFilter(&e)) << e.GetFactor();
        EXPECT_EQ(s->GetDataLength(), 48 * 32 * 3);
        EXPECT_TRUE(StreamData(*s) == Djpeg(dir, jpeg));
    }
    EXPECT_EQ(images, 1);
}
