#include "pdf/file/CPDFXRefRecovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/file/CPDFXRef.h"
#include "pdf/io/MemInStream.h"

using corvina::CPDFXRef;
using corvina::CPDFXRefRecovery;
using corvina::MemInStream;

namespace {

CPDFXRefRecovery Scanned(const std::string& bytes) {
    MemInStream in(bytes);
    CPDFXRefRecovery found;
    found.Scan(in);
    return found;
}

// "num gen offset" of each object found.
std::vector<std::string> Listed(const CPDFXRefRecovery& found) {
    std::vector<std::string> out;
    for (const auto& f : found.Objects())
        out.push_back(std::to_string(f.objNum) + " " + std::to_string(f.genNum) + " " +
                      std::to_string(f.offset));
    return out;
}

}  // namespace

TEST(CPDFXRefRecoveryTest, FindsHeadersOutsideStringsCommentsAndStreamData) {
    const std::string file =
        "%PDF-1.4\n"                                             // 0
        "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"   // 9
        "% 7 0 obj in a comment\n"                               // 59
        "2 0 obj\n(3 0 obj in a string \\) (nested) ) endobj\n"  // 82
        "4 0 obj\n<< /Length 12 >>\nstream\n5 0 obj 6 0 \nendstream\nendobj\n"
        "8 0 obj <6 0 obj> endobj\n";
    const CPDFXRefRecovery found = Scanned(file);
    EXPECT_EQ(Listed(found), (std::vector<std::string>{"1 0 9", "2 0 81", "4 0 131", "8 0 193"}));
    ASSERT_EQ(found.Catalogs().size(), 1u);
    EXPECT_EQ(found.Catalogs()[0].objNum, 1);
    EXPECT_EQ(found.TrailerOffset(), -1);
}

TEST(CPDFXRefRecoveryTest, StreamWithWrongOrIndirectLengthEndsAtEndstream) {
    for (const std::string length : {"3", "400", "9 0 R", "-1"}) {
        SCOPED_TRACE(length);
        const std::string file = "1 0 obj\n<< /Length " + length +
                                 " >>\nstream\n2 0 obj (x) endobj\nendstream\nendobj\n"
                                 "3 0 obj\n42\nendobj\n";
        const std::string third = "3 0 " + std::to_string(file.find("3 0 obj"));
        EXPECT_EQ(Listed(Scanned(file)), (std::vector<std::string>{"1 0 0", third}));
    }
    // Cut inside its data: nothing after it is an object.
    EXPECT_EQ(Listed(Scanned("1 0 obj << /Length 99 >> stream\n2 0 obj 3")),
              (std::vector<std::string>{"1 0 0"}));
}

TEST(CPDFXRefRecoveryTest, LastDefinitionWinsAndTypesFollowIt) {
    const std::string file =
        "1 0 obj << /Type /Catalog >> endobj\n"
        "2 0 obj << /Type /ObjStm /N 0 /First 0 /Length 0 >> stream\n\nendstream endobj\n"
        "trailer << /Root 1 0 R >>\n"
        "1 1 obj << /Type /Pages /Kids [] /Count 0 >> endobj\n"
        "5 0 obj << /Type /XRef /Size 6 /Root 9 0 R /Inner << /Type /Catalog >> >> endobj\n"
        "trailer\n<< /Root 9 0 R >>\n";
    const CPDFXRefRecovery found = Scanned(file);
    ASSERT_EQ(found.Objects().size(), 3u);
    EXPECT_EQ(found.Objects()[0].genNum, 1);
    // The catalog was redefined as something else; nested /Type is not the object's.
    EXPECT_TRUE(found.Catalogs().empty());
    ASSERT_EQ(found.ObjStms().size(), 1u);
    ASSERT_EQ(found.XRefStreams().size(), 1u);
    EXPECT_EQ(found.XRefStreams()[0].objNum, 5);
    EXPECT_EQ(found.TrailerOffset(), static_cast<int>(file.rfind("trailer")) + 7);

    CPDFXRef xref;
    ASSERT_TRUE(found.Fill(xref));
    EXPECT_EQ(xref.Size(), 5);
    ASSERT_NE(xref.GetEntry(5), nullptr);
    EXPECT_EQ(xref.GetEntry(3), nullptr);
    EXPECT_EQ(xref.GetEntry(1)->genNum, 1);
}

TEST(CPDFXRefRecoveryTest, OpenStringEndsAtEndobjAndNumbersOutOfRangeAreNoObjects) {
    const std::string file =
        "1 0 obj (never closed endobj\n"
        "2 0 obj 7 endobj\n"
        "99999999 0 obj 1 endobj\n"
        "3 70000 obj 1 endobj\n"
        "-4 0 obj 1 endobj 4 0 obj 1 endobj\n";
    EXPECT_EQ(Listed(Scanned(file)), (std::vector<std::string>{"1 0 0", "2 0 29", "4 0 109"}));
}
