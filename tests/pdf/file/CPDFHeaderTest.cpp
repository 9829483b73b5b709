#include "pdf/file/CPDFHeader.h"

#include <gtest/gtest.h>

#include <string>

#include "pdf/io/MemInStream.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFException.h"

using corvina::CPDFException;
using corvina::CPDFHeader;
using corvina::MemInStream;
using corvina::MemOutStream;

namespace {

std::string ReadError(const std::string& bytes, CPDFHeader* into = nullptr) {
    CPDFHeader local;
    CPDFHeader& header = into ? *into : local;
    MemInStream in(bytes);
    try {
        header.Serialize(nullptr, in);
    } catch (const CPDFException& e) {
        EXPECT_STREQ(e.GetModule(), "CPDFHeader");
        EXPECT_STREQ(e.GetMethod(), "Serialize");
        EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat);
        return e.GetFactor();
    }
    return "";
}

}  // namespace

TEST(CPDFHeader, WritesVersionLineAndBinaryMarker) {
    CPDFHeader header;
    header.SetVersion(1, 4);
    MemOutStream out;
    header.Serialize(out);
    EXPECT_EQ(out.Data(), "%PDF-1.4\r\n%\xE2\xE3\xCF\xD3\r\n");

    header.SetFDF(true);
    header.SetVersion(1, 2);
    MemOutStream fdf;
    header.Serialize(fdf);
    EXPECT_EQ(fdf.Data(), "%FDF-1.2\r\n%\xE2\xE3\xCF\xD3\r\n");
}

TEST(CPDFHeader, NewHeaderIsPdfZeroZero) {
    CPDFHeader header;
    MemOutStream out;
    header.Serialize(out);
    EXPECT_EQ(out.Data().substr(0, 10), "%PDF-0.0\r\n");
}

TEST(CPDFHeader, ReadsVersionIgnoringTrailingText) {
    CPDFHeader header;
    EXPECT_EQ(ReadError("%PDF-1.2 made by hand\r\n%\xE2\xE3\xCF\xD3\r\n", &header), "");
    EXPECT_FALSE(header.IsFDF());
    EXPECT_EQ(header.Major(), 1);
    EXPECT_EQ(header.Minor(), 2);
}

TEST(CPDFHeader, SkipsLeadingEmptyLines) {
    CPDFHeader header;
    EXPECT_EQ(ReadError("\r\n\n\r%PDF-1.3\n", &header), "");
    EXPECT_EQ(header.Minor(), 3);
}

TEST(CPDFHeader, ReadsFdf) {
    CPDFHeader header;
    EXPECT_EQ(ReadError("%FDF-1.2\r\n", &header), "");
    EXPECT_TRUE(header.IsFDF());
    EXPECT_EQ(header.Major(), 1);
    EXPECT_EQ(header.Minor(), 2);
}

TEST(CPDFHeader, RejectsOtherLines) {
    // What is no PDF at all says so; a PDF header with a bad version shows it.
    const std::string notPdf = "not a PDF file (no %PDF- header)";
    EXPECT_EQ(ReadError("garbage here\r\n%PDF-1.4\r\n"), notPdf);
    EXPECT_EQ(ReadError("hello\n"), notPdf);
    EXPECT_EQ(ReadError("%PDF-1\r\n"), "invalidheader: %PDF-1");
    EXPECT_EQ(ReadError("%FDF-x\r\n"), "invalidheader: %FDF-x");
    EXPECT_EQ(ReadError(""), "empty file");
    EXPECT_EQ(ReadError("\r\n\r\n"), notPdf);
}

TEST(CPDFHeader, LongLineIsCutNotOverrun) {
    const std::string line = "%PDF-1.5" + std::string(1000, 'x');
    CPDFHeader header;
    EXPECT_EQ(ReadError(line, &header), "");
    EXPECT_EQ(header.Minor(), 5);
    EXPECT_EQ(ReadError(std::string(1000, 'y')), "not a PDF file (no %PDF- header)");
    EXPECT_EQ(ReadError("%PDF-" + std::string(1000, 'y')),
              "invalidheader: %PDF-" + std::string(250, 'y'));
}
