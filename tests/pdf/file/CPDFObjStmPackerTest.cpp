// The packer of new object streams: which bytes it takes as they are, how it
// numbers and fills its streams, and what a stream it writes holds.
#include "pdf/file/CPDFObjStmPacker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/stream/CPDFStream.h"

using corvina::CPDFObjStmPacker;
using corvina::CPDFStream;

namespace {

// A packer whose streams are numbered from 100 and kept decoded.
struct Packing {
    explicit Packing(int perStream = CPDFObjStmPacker::kPerStream)
        : packer(
              nullptr,
              [this](int32_t* num, int32_t* gen) {
                  *num = next++;
                  *gen = 0;
              },
              [this](int32_t num, int32_t, CPDFStream& stream) {
                  corvina::CPDFException error;
                  ASSERT_TRUE(stream.DecodeAllFilter(&error));
                  auto* n = dynamic_cast<corvina::CPDFInt*>(stream.FindDirect("N"));
                  auto* first = dynamic_cast<corvina::CPDFInt*>(stream.FindDirect("First"));
                  ASSERT_NE(n, nullptr);
                  ASSERT_NE(first, nullptr);
                  const std::string data(stream.GetData(), stream.GetDataLength());
                  written.push_back(std::to_string(num) + " N=" + std::to_string(n->IntValue()) +
                                    " |" + data.substr(0, first->IntValue()) + "|" +
                                    data.substr(first->IntValue()));
              },
              perStream) {}
    int32_t next = 100;
    std::vector<std::string> written;
    CPDFObjStmPacker packer;
};

bool Takes(const std::string& bytes) {
    Packing p;
    return p.packer.AddBytes(1, bytes.data(), static_cast<int32_t>(bytes.size()));
}

TEST(CPDFObjStmPacker, TakesPlainValuesAsTheyAre) {
    for (const char* ok : {"<< /Type /Page /Parent 2 0 R >>", " [1 2 (a)]\n\n", "42", "null",
                           "(endobj inside a string)", "<< /A << /B [<00ff>] >> >>\r\n"}) {
        SCOPED_TRACE(ok);
        EXPECT_TRUE(Takes(ok));
    }
}

TEST(CPDFObjStmPacker, RefusesWhatAReaderWouldNotTakeAsOneValue) {
    // Each would change meaning or fail when copied: the caller then loads
    // and writes the object the ordinary way.
    for (const char* bad : {"", "  \n", "<< /Length 3 >>\nstream\nabc\nendstream", "1 2",
                            "<< /A 1 >> endobj 9 0 obj", "<< /A 1", "[1 2", "(unbalanced"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(Takes(bad));
    }
    // NUL among the words (not in a string, where any byte may stand).
    EXPECT_FALSE(Takes(std::string("[1\0 2]", 6)));
    EXPECT_TRUE(Takes(std::string("(a\0b)", 5)));
}

TEST(CPDFObjStmPacker, FillsStreamsInOrderAndPlacesEachObject) {
    Packing p(2);
    const std::string a = "<< /A 1 >>\n", b = "  [2]", c = "(three)";
    ASSERT_TRUE(p.packer.AddBytes(7, a.data(), static_cast<int32_t>(a.size())));
    ASSERT_TRUE(p.packer.AddBytes(3, b.data(), static_cast<int32_t>(b.size())));
    // A refused object takes no place and opens no stream.
    const std::string bad = "1 2";
    EXPECT_FALSE(p.packer.AddBytes(4, bad.data(), 3));
    ASSERT_TRUE(p.packer.AddBytes(9, c.data(), static_cast<int32_t>(c.size())));
    corvina::CPDFInt five(5);
    p.packer.AddObject(10, five);
    p.packer.Close();
    p.packer.Close();  // nothing left: writes nothing
    const std::vector<std::string> expected = {"100 N=2 |7 0 3 11 |<< /A 1 >>\n[2]\n",
                                               "101 N=2 |9 0 10 8 |(three)\n5\n"};
    EXPECT_EQ(p.written, expected);
    ASSERT_EQ(p.packer.Packed().size(), 4u);
    const int32_t places[4][3] = {{7, 100, 0}, {3, 100, 1}, {9, 101, 0}, {10, 101, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(p.packer.Packed()[i].objNum, places[i][0]);
        EXPECT_EQ(p.packer.Packed()[i].stmNum, places[i][1]);
        EXPECT_EQ(p.packer.Packed()[i].index, places[i][2]);
    }
}

TEST(CPDFObjStmPacker, AStreamHoldsAboutAHundredObjects) {
    Packing p;
    const std::string v = "1";
    for (int n = 1; n <= 250; ++n) ASSERT_TRUE(p.packer.AddBytes(n, v.data(), 1));
    p.packer.Close();
    ASSERT_EQ(p.written.size(), 3u);
    EXPECT_EQ(p.written[0].substr(0, 10), "100 N=100 ");
    EXPECT_EQ(p.written[2].substr(0, 9), "102 N=50 ");
}

}  // namespace
