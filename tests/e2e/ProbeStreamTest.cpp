// The probe's stream output against qpdf's: the same decoded bytes for every
// filter qpdf undoes, the same stored bytes, and a clean report when a stream
// cannot be had.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "pdf/stream/CPDFStream.h"
#include "support/E2E.h"
#include "support/PdfBuilder.h"
#include "support/ScratchDir.h"

namespace {

using e2e::RunResult;

RunResult ProbeStream(const std::string& file, int num, bool raw = false) {
    std::vector<std::string> argv = {PROBE_BIN, "--stream", std::to_string(num)};
    if (raw) argv.push_back("--raw");
    argv.push_back(file);
    return e2e::Run(argv);
}

std::string Deflate(const std::string& in, int level) {
    uLongf n = compressBound(static_cast<uLong>(in.size()));
    std::string out(n, '\0');
    EXPECT_EQ(
        compress2(reinterpret_cast<Bytef*>(out.data()), &n,
                  reinterpret_cast<const Bytef*>(in.data()), static_cast<uLong>(in.size()), level),
        Z_OK);
    out.resize(n);
    return out;
}

// Text with some repetition, as page content has.
std::string Text(size_t n) {
    std::string s;
    for (int i = 0; s.size() < n; ++i)
        s += "BT /F1 12 Tf " + std::to_string(i * 37 % 1000) + " 700 Td (line " +
             std::to_string(i) + ") Tj ET\n";
    s.resize(n);
    return s;
}

using Encoder = bool (corvina::CPDFStream::*)(corvina::CPDFException*, corvina::PDFProgressProc,
                                              corvina::PDFCancelProc,
                                              const corvina::PDFProgressRange&);

// Encoded by our own encoders, for the chains.
std::string Encoded(const std::string& in, Encoder first, Encoder second) {
    corvina::CPDFStream s;
    s.SetData(in.data(), static_cast<int32_t>(in.size()));
    EXPECT_TRUE((s.*first)(nullptr, nullptr, nullptr, {}));
    EXPECT_TRUE((s.*second)(nullptr, nullptr, nullptr, {}));
    return std::string(s.GetData(), static_cast<size_t>(s.GetDataLength()));
}

// ASCII85 from python's encoder, without its "<~" opening; "" without python.
std::string PythonA85(const ScratchDir& dir, const std::string& in) {
    if (!e2e::Have("python3")) return "";
    const std::string src = dir.Write("a85.in", in);
    const RunResult r = e2e::Run({"python3", "-c",
                                  "import base64,sys;sys.stdout.buffer.write(base64.a85encode("
                                  "open(sys.argv[1],'rb').read(),adobe=True,wrapcol=72)[2:])",
                                  src});
    return r.code == 0 ? r.out : "";
}

struct StreamCase {
    const char* label;
    std::string filter;  // the Filter entry as written
    std::string data;
};

std::string StreamObj(const StreamCase& c, const std::string& eol = "") {
    return "<< /Length " + std::to_string(c.data.size()) + " /Filter " + c.filter +
           " >>\nstream\n" + c.data + eol + "endstream";
}

}  // namespace

TEST(ProbeStreamTest, DecodedAndRawDataAreQpdfs) {
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const std::string text = Text(50000);
    std::vector<StreamCase> cases = {
        {"hex", "/ASCIIHexDecode", "48656c6C6F 2C\n20776F726C64 7>"},
        {"a85 by hand", "/ASCII85Decode", "87cURD_*#TDfTZ)z!!~>"},
        {"run length", "/RunLengthDecode",
         std::string("\x02"
                     "abc\xfdX\x7f") +
             std::string(128, 'L') + "\x81Y\x80"},
        {"flate 1", "/FlateDecode", Deflate(text, 1)},
        {"flate 6", "/FlateDecode", Deflate(text, 6)},
        {"flate 9", "/FlateDecode", Deflate(text, 9)},
        {"flate stored", "/FlateDecode", Deflate(text.substr(0, 9000), 0)},
        {"a85 over flate", "[/ASCII85Decode /FlateDecode]",
         Encoded(text, &corvina::CPDFStream::EncodeFlate, &corvina::CPDFStream::EncodeASCII85)},
        {"hex over run length", "[/ASCIIHexDecode /RunLengthDecode]",
         Encoded(std::string(3000, 'q') + text.substr(0, 5000),
                 &corvina::CPDFStream::EncodeRunLength, &corvina::CPDFStream::EncodeASCIIHex)},
    };
    const std::string python = PythonA85(dir, text);
    if (!python.empty()) {
        cases.push_back({"a85 by python", "/ASCII85Decode", python});
        cases.push_back({"a85 by python over flate", "[/ASCII85Decode /FlateDecode]",
                         PythonA85(dir, Deflate(text, 9))});
    }
    PdfBuilder pdf = PdfBuilder::OnePage();
    for (size_t i = 0; i < cases.size(); ++i) pdf.Obj(static_cast<int>(4 + i), StreamObj(cases[i]));
    const std::string file = dir.Write("streams.pdf", pdf.Bytes());
    for (size_t i = 0; i < cases.size(); ++i) {
        const int num = static_cast<int>(4 + i);
        const std::string id = "--show-object=" + std::to_string(num);
        const RunResult ours = ProbeStream(file, num);
        const RunResult theirs =
            e2e::Run({"qpdf", id, "--filtered-stream-data", "--decode-level=all", file});
        ASSERT_EQ(theirs.code, 0) << cases[i].label << theirs.err;
        EXPECT_EQ(ours.code, 0) << cases[i].label << ours.out << ours.err;
        EXPECT_EQ(ours.err, "") << cases[i].label;
        EXPECT_TRUE(ours.out == theirs.out)
            << cases[i].label << ": " << ours.out.size() << " bytes, qpdf " << theirs.out.size();
        const RunResult raw = ProbeStream(file, num, true);
        const RunResult theirRaw = e2e::Run({"qpdf", id, "--raw-stream-data", file});
        EXPECT_EQ(raw.code, 0) << cases[i].label;
        EXPECT_TRUE(raw.out == theirRaw.out && raw.out == cases[i].data) << cases[i].label;
    }
    if (python.empty()) GTEST_SKIP() << "python3 is not installed: no independent ASCII85";
}

// The line end before "endstream" belongs to the data as the library holds
// it; decoding is not disturbed by it.
TEST(ProbeStreamTest, LineEndBeforeEndstreamIsPartOfTheStoredData) {
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const StreamCase c{"flate", "/FlateDecode", Deflate(Text(3000), 6)};
    const std::string file =
        dir.Write("eol.pdf", PdfBuilder::OnePage().Obj(4, StreamObj(c, "\r\n")).Bytes());
    EXPECT_EQ(ProbeStream(file, 4, true).out, c.data + "\r\n");
    EXPECT_EQ(e2e::Run({"qpdf", "--show-object=4", "--raw-stream-data", file}).out, c.data);
    EXPECT_TRUE(ProbeStream(file, 4).out ==
                e2e::Run({"qpdf", "--show-object=4", "--filtered-stream-data", file}).out);
}

TEST(ProbeStreamTest, StreamsThatCannotBeHadEndInTheReport) {
    ScratchDir dir;
    std::string cut = Deflate(Text(20000), 6);
    cut.resize(cut.size() / 2);
    PdfBuilder pdf = PdfBuilder::OnePage();
    pdf.Obj(4, StreamObj({"", "/JBIG2Decode", "xyz"}))
        .Obj(5, StreamObj({"", "/ASCII85Decode", "5l~~"}))
        .Obj(6, StreamObj({"", "[/ASCIIHexDecode /JPXDecode]", "41>"}))
        .Obj(7, StreamObj({"", "/FlateDecode", cut}))
        .Obj(9, "<< /Not /AStream >>", 3);
    const std::string file = dir.Write("bad.pdf", pdf.Bytes());
    struct Case {
        int num;
        const char* factor;
    } cases[] = {
        {4, "Factor: unknown filter: JBIG2Decode"},
        {5, "Factor: invalid eod"},
        {6, "Factor: unknown filter: JPXDecode"},
        {8, "Factor: no such object: 8"},
        {9, "Factor: not a stream: 9 3 (Dictionary)"},
        {3, "Factor: not a stream: 3 0 (Dictionary)"},
        {99, "Factor: no such object: 99"},
    };
    for (const auto& c : cases) {
        const RunResult r = ProbeStream(file, c.num);
        EXPECT_EQ(r.code, 1) << c.num;
        const auto lines = e2e::Lines(r.out);
        ASSERT_EQ(lines.size(), 5u) << c.num << r.out;
        EXPECT_EQ(lines[0], "error");
        EXPECT_EQ(lines[1].rfind("Module: ", 0), 0u);
        EXPECT_EQ(lines[2].rfind("Method: ", 0), 0u);
        EXPECT_EQ(lines[3].rfind("Type: ", 0), 0u);
        EXPECT_EQ(lines[4], c.factor);
    }
    const RunResult raw = ProbeStream(file, 4, true);
    EXPECT_EQ(raw.code, 0);
    EXPECT_EQ(raw.out, "xyz");
    // A cut Flate stream gives what inflated, and says so.
    const RunResult short_ = ProbeStream(file, 7);
    EXPECT_EQ(short_.code, 0);
    EXPECT_EQ(Text(20000).rfind(short_.out, 0), 0u);
    EXPECT_GT(short_.out.size(), 1000u);
    EXPECT_EQ(short_.err.rfind("warning: flate data ended early", 0), 0u) << short_.err;
    for (const std::vector<std::string>& bad : {std::vector<std::string>{PROBE_BIN, "--raw", file},
                                                {PROBE_BIN, "--stream", "x", file},
                                                {PROBE_BIN, "--stream", "4"},
                                                {PROBE_BIN, file, file}}) {
        const RunResult r = e2e::Run(bad);
        EXPECT_EQ(r.code, 2) << bad[1];
        EXPECT_EQ(r.err.rfind("usage: corvina-probe", 0), 0u) << r.err;
    }
}

// JPEGs written by cjpeg decode as qpdf decodes them (fax data is checked
// against MuPDF with the filter's own tests).
TEST(ProbeStreamTest, ImagesDecodeAsIndependentReadersDecodeThem) {
    E2E_REQUIRE("qpdf");
    E2E_REQUIRE("cjpeg");
    ScratchDir dir;
    const int w = 61, h = 37;
    std::string rgb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            rgb += static_cast<char>(x * 4);
            rgb += static_cast<char>(y * 6);
            rgb += static_cast<char>((x ^ y) * 3);
        }
    dir.Write("in.ppm", "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n" + rgb);
    PdfBuilder pdf = PdfBuilder::OnePage();
    const char* const kJpegs[][2] = {{"-baseline", "4"}, {"-progressive", "5"}};
    for (const auto& j : kJpegs) {
        const std::string jpg = dir.File(std::string(j[1]) + ".jpg");
        ASSERT_EQ(
            e2e::Run({"cjpeg", j[0], "-quality", "80", "-outfile", jpg, dir.File("in.ppm")}).code,
            0);
        const std::string data = e2e::ReadBytes(jpg);
        pdf.Obj(std::stoi(j[1]), "<< /Type /XObject /Subtype /Image /Width " + std::to_string(w) +
                                     " /Height " + std::to_string(h) +
                                     " /BitsPerComponent 8 /ColorSpace /DeviceRGB /Filter "
                                     "/DCTDecode /Length " +
                                     std::to_string(data.size()) + " >>\nstream\n" + data +
                                     "\nendstream");
    }
    const std::string file = dir.Write("images.pdf", pdf.Bytes());
    for (int num : {4, 5}) {
        SCOPED_TRACE(num);
        const RunResult ours = ProbeStream(file, num);
        const RunResult theirs = e2e::Run({"qpdf", "--show-object=" + std::to_string(num),
                                           "--filtered-stream-data", "--decode-level=all", file});
        ASSERT_EQ(theirs.code, 0) << theirs.err;
        EXPECT_EQ(ours.code, 0) << ours.out << ours.err;
        EXPECT_EQ(ours.out.size(), static_cast<size_t>(w * h * 3));
        EXPECT_TRUE(ours.out == theirs.out) << ours.out.size() << " vs " << theirs.out.size();
    }
}
