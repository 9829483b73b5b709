#include "tool/CPDFDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "pdf/object/CPDFException.h"
#include "support/PdfBuilder.h"
#include "support/ScratchDir.h"
#include "tool/RecordingSink.h"

using corvina::CPDFException;

TEST(CPDFDriverFormat, AcceptsIntegerConversions) {
    for (const char* format : {"%d", "page%03d", "%5.3ld", "%-+ #0x", "%*d", "%%d", "no conversion",
                               "%hhu", "%zx", "%*.*d%*.*d%*.*d", "", "%%"}) {
        EXPECT_TRUE(CPDFDriver::IsSafeFormat(format)) << format;
    }
}

TEST(CPDFDriverFormat, RefusesOtherConversionsAndTooManyArguments) {
    for (const char* format :
         {"%s", "%n", "%f", "%c", "%1$d", "%p", "%", "page%", "%d%", "%%%", "%ls",
          "%*.*d%*.*d%*.*d%*.*d", "%d%d%d%d%d%d%d%d%d%d", "%*.*d%*.*d%*.*d%d"}) {
        EXPECT_FALSE(CPDFDriver::IsSafeFormat(format)) << format;
    }
    EXPECT_TRUE(CPDFDriver::IsSafeFormat("%d%d%d%d%d%d%d%d%d"));
    EXPECT_FALSE(CPDFDriver::IsSafeFormat(nullptr));
}

// --- The job's messages, as its log sink receives them ---

namespace {

using Lines = std::vector<std::string>;
using Report = RecordingSink::Report;

class CPDFDriverLogTest : public ::testing::Test {
protected:
    void SetUp() override { in_ = dir_.Write("in.pdf", PdfBuilder::OnePage().Bytes()); }

    // One job with the given options, as a run of the tool does it.
    bool Run(const std::string& in, const std::string& out, const char* format = nullptr,
             const char* fitType = nullptr, const char* tempPath = "") {
        std::unique_ptr<CPDFDriver> driver = CreateDriver(tempPath, sink_);
        if (!driver) return false;
        EXPECT_TRUE(driver->SetParams(0, 0, format, fitType, false, false));
        return driver->Execute(in.c_str(), out.c_str());
    }

    ScratchDir dir_;
    std::string in_;
    RecordingSink sink_;
};

TEST_F(CPDFDriverLogTest, SuccessSaysNothingButExistingNames) {
    const std::string out = dir_.File("out.pdf");
    ASSERT_TRUE(Run(in_, out));
    EXPECT_EQ(sink_.lines, Lines{});
    EXPECT_EQ(sink_.reports, std::vector<Report>{});
    EXPECT_EQ(sink_.errorTexts, Lines{});

    // A second run over its own output finds the name and keeps it: a
    // notice, not an error.
    const std::string again = dir_.File("again.pdf");
    ASSERT_TRUE(Run(out, again));
    EXPECT_EQ(sink_.lines, Lines{"Named destination already exists: 1"});
    EXPECT_EQ(sink_.reports, std::vector<Report>{});
    EXPECT_EQ(sink_.errorTexts, Lines{});
}

// Each name is counted once, as added, replaced, kept or removed.
TEST_F(CPDFDriverLogTest, CountsFollowWhatHappensToEachName) {
    const std::string out = dir_.File("out.pdf");
    const std::string again = dir_.File("again.pdf");
    struct Case {
        std::string in, out;
        bool overwrite, remove;
        long added, replaced, present, removed;
    } cases[] = {{in_, out, false, false, 1, 0, 0, 0},
                 {out, again, false, false, 0, 0, 1, 0},
                 {out, again, true, false, 0, 1, 0, 0},
                 {out, again, false, true, 0, 0, 0, 1}};
    for (const Case& c : cases) {
        std::unique_ptr<CPDFDriver> driver = CreateDriver("", sink_);
        ASSERT_TRUE(driver);
        driver->SetParams(0, 0, nullptr, nullptr, c.overwrite, c.remove);
        ASSERT_TRUE(driver->Execute(c.in.c_str(), c.out.c_str()));
        const CPDFDriver::Counts& n = driver->GetCounts();
        EXPECT_EQ(n.added, c.added);
        EXPECT_EQ(n.replaced, c.replaced);
        EXPECT_EQ(n.present, c.present);
        EXPECT_EQ(n.removed, c.removed);
    }
}

TEST_F(CPDFDriverLogTest, RefusedFormatAndFitType) {
    const std::string out = dir_.File("out.pdf");
    EXPECT_FALSE(Run(in_, out, "page%s"));
    EXPECT_EQ(sink_.lines, Lines{"Invalid Format: page%s"});
    // A format is refused before any file is looked at.
    EXPECT_FALSE(Run(dir_.File("missing.pdf"), out, "%n"));
    EXPECT_EQ(sink_.lines, (Lines{"Invalid Format: page%s", "Invalid Format: %n"}));

    EXPECT_FALSE(Run(in_, out, nullptr, "/FitH"));
    EXPECT_EQ(sink_.lines.back(), "Invalid FitType: /FitH");
    EXPECT_EQ(sink_.lines.size(), 3u);
    EXPECT_EQ(sink_.reports, std::vector<Report>{});
    EXPECT_EQ(sink_.errorTexts, Lines{});
    EXPECT_EQ(ScratchDir::List(dir_.Path()), "in.pdf");
}

TEST_F(CPDFDriverLogTest, DestinationTextFillsTheJobsBufferAndNoMore) {
    // "[3 0 R " and "]" around the fit type: 255 bytes in all still fit the
    // 256-byte buffer with its terminator, 256 do not.
    std::string fit = "/XYZ null null null";
    fit.resize(255 - 8, ' ');
    ASSERT_TRUE(Run(in_, dir_.File("fits.pdf"), nullptr, fit.c_str()));
    EXPECT_EQ(sink_.lines, Lines{});
    fit += ' ';
    EXPECT_FALSE(Run(in_, dir_.File("long.pdf"), nullptr, fit.c_str()));
    EXPECT_EQ(sink_.lines, Lines{"Invalid FitType: " + fit});
}

// Twelve pages, objects 3 to 14: the page numbers grow from one digit to two
// along the run, and object 15 is a number a fit type can name.
std::string TwelvePages() {
    PdfBuilder pdf;
    std::string kids;
    for (int num = 3; num <= 14; ++num) {
        kids += std::to_string(num) + " 0 R ";
        pdf.Obj(num, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    }
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count 12 >>")
        .Obj(15, "792")
        .Root(1);
    return pdf.Bytes();
}

TEST_F(CPDFDriverLogTest, EveryPageGetsTheFitTypeAsWritten) {
    const std::string in = dir_.Write("twelve.pdf", TwelvePages());
    for (const char* fit : {"/FitH 792.50", "/XYZ -0 .5 null", "/Fit 15 0 R"}) {
        SCOPED_TRACE(fit);
        const std::string out = dir_.File("out.pdf");
        ASSERT_TRUE(Run(in, out, nullptr, fit));
        const std::string bytes = ScratchDir::Read(out);
        for (int num = 3; num <= 14; ++num) {
            const std::string dest = "/D [" + std::to_string(num) + " 0 R " + fit + "]";
            EXPECT_NE(bytes.find(dest), std::string::npos) << dest;
        }
    }
    EXPECT_EQ(sink_.lines, Lines{});
}

TEST_F(CPDFDriverLogTest, EveryPagesTextMustFitTheBuffer) {
    // "[3 0 R " fits with the fit type where "[10 0 R " does not: the pages
    // up to object 9 get destinations, the next one stops the job.
    const std::string in = dir_.Write("twelve.pdf", TwelvePages());
    std::string fit = "/XYZ null null null";
    fit.resize(255 - 8, ' ');
    EXPECT_FALSE(Run(in, dir_.File("out.pdf"), nullptr, fit.c_str()));
    EXPECT_EQ(sink_.lines, Lines{"Invalid FitType: " + fit});
    fit.pop_back();
    EXPECT_TRUE(Run(in, dir_.File("out.pdf"), nullptr, fit.c_str()));
}

TEST_F(CPDFDriverLogTest, MissingInputAndTemporaryDirectory) {
    const std::string missing = dir_.File("missing.pdf");
    EXPECT_FALSE(Run(missing, dir_.File("out.pdf")));
    EXPECT_EQ(sink_.lines, Lines{"%%[ Error: file not found: " + missing + " ]%%"});
    EXPECT_EQ(sink_.errorTexts, Lines{"file not found: " + missing});

    sink_.Clear();
    const std::string temp = dir_.File("no-temp");
    EXPECT_FALSE(Run(in_, dir_.File("out.pdf"), nullptr, nullptr, temp.c_str()));
    const std::string factor =
        "temporary directory does not exist: " + temp + " (No such file or directory)";
    EXPECT_EQ(sink_.lines, (Lines{"%%[ Error: invalid temporary directory: " + temp + " ]%%",
                                  "Module: CPDFDriver", "Method: Execute", "Type: User Error",
                                  "Factor: " + factor}));
    EXPECT_EQ(sink_.reports,
              (std::vector<Report>{{"CPDFDriver", "Execute", CPDFException::UserError, factor}}));
    EXPECT_EQ(sink_.errorTexts, Lines{"invalid temporary directory: " + temp});
}

TEST_F(CPDFDriverLogTest, FailedOpen) {
    const std::string text = dir_.Write("text.pdf", "hello\n");
    EXPECT_FALSE(Run(text, dir_.File("out.pdf")));
    const Report r{"CPDFHeader", "Serialize", CPDFException::InvalidFormat,
                   "not a PDF file (no %PDF- header)"};
    EXPECT_EQ(sink_.reports, std::vector<Report>{r});
    EXPECT_EQ(sink_.lines,
              (Lines{"%%[ Error: cannot open PDF Document: " + text + " ]%%", "Module: " + r.module,
                     "Method: " + r.method, "Type: Invalid Format", "Factor: " + r.factor}));
    EXPECT_EQ(sink_.errorTexts, Lines{"cannot open PDF Document: " + text});
    EXPECT_EQ(ScratchDir::Read(text), "hello\n");
}

// Save fails: the job ends there, with one report that names the output
// and what the system said about its directory.
TEST_F(CPDFDriverLogTest, FailedSave) {
    const std::string out = dir_.File("no/such/out.pdf");
    const std::string before = ScratchDir::Read(in_);
    EXPECT_FALSE(Run(in_, out));
    const std::string factor =
        "cannot create a temporary file in " + dir_.File("no/such") + ": No such file or directory";
    EXPECT_EQ(sink_.lines,
              (Lines{"%%[ Error: cannot save PDF Document: " + out + " ]%%", "Module: CPDFDoc",
                     "Method: Save", "Type: Runtime Library Error", "Factor: " + factor}));
    EXPECT_EQ(
        sink_.reports,
        (std::vector<Report>{{"CPDFDoc", "Save", CPDFException::RuntimeLibraryError, factor}}));
    EXPECT_EQ(sink_.errorTexts, (Lines{"cannot save PDF Document: " + out}));
    EXPECT_EQ(ScratchDir::Read(in_), before);
    EXPECT_EQ(ScratchDir::List(dir_.Path()), "in.pdf");
}

}  // namespace
