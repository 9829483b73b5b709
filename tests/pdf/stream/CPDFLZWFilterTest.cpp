#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/stream/CPDFStream.h"
#include "pdf/stream/FilterTestUtil.h"

using corvina::CPDFDict;
using corvina::CPDFException;
using corvina::CPDFInt;
using filtertest::Data;
using filtertest::Make;
using filtertest::Random;

namespace {

// Codes of the given widths, most significant bit first, padded with zeros.
class Bits {
public:
    void Put(int code, int width) {
        for (int b = width - 1; b >= 0; --b) {
            acc_ = static_cast<unsigned char>(acc_ << 1 | ((code >> b) & 1));
            if (++n_ == 8) {
                out_ += static_cast<char>(acc_);
                acc_ = 0;
                n_ = 0;
            }
        }
    }
    std::string Done() {
        if (n_ > 0) out_ += static_cast<char>(acc_ << (8 - n_));
        return out_;
    }

private:
    std::string out_;
    unsigned char acc_ = 0;
    int n_ = 0;
};

int Width(int entries) {
    return entries >= 2048 ? 12 : entries >= 1024 ? 11 : entries >= 512 ? 10 : 9;
}

// Every byte as a code of its own, at the widths a reader with the given
// EarlyChange expects: its table grows by one entry per code after the first.
std::string LiteralCodes(const std::string& bytes, int early) {
    Bits bits;
    bits.Put(256, 9);
    int entries = 258;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 1) ++entries;
        bits.Put(static_cast<unsigned char>(bytes[i]), Width(entries + early));
    }
    bits.Put(257, Width(entries + 1 + early));
    return bits.Done();
}

std::string Decoded(const std::string& in, int early = -1, std::string* warning = nullptr) {
    auto s = Make(in);
    std::unique_ptr<CPDFDict> parms;
    if (early >= 0) {
        parms = std::make_unique<CPDFDict>();
        parms->Insert("EarlyChange", std::make_unique<CPDFInt>(early));
    }
    CPDFException e;
    EXPECT_TRUE(s->DecodeLZW(parms.get(), &e)) << e.GetFactor();
    if (warning) *warning = s->FilterWarning();
    return Data(*s);
}

}  // namespace

TEST(LZWFilterTest, DecodesTheFormatsExample) {
    // "-----A---B" as the format's description encodes it.
    EXPECT_EQ(Decoded("\x80\x0b\x60\x50\x22\x0c\x0c\x85\x01"), "-----A---B");
    EXPECT_EQ(Decoded("\x80\x0b\x60\x50\x22\x0c\x0c\x85\x01", 1), "-----A---B");
}

TEST(LZWFilterTest, WidensCodesAsEarlyChangeSays) {
    const std::string data = Random(1500, 7);
    EXPECT_EQ(Decoded(LiteralCodes(data, 1)), data);
    EXPECT_EQ(Decoded(LiteralCodes(data, 0), 0), data);
    // Read with the other setting, the codes past the first widening differ.
    auto s = Make(LiteralCodes(data, 0));
    CPDFException e;
    EXPECT_FALSE(s->DecodeLZW(nullptr, &e) && Data(*s) == data);
}

TEST(LZWFilterTest, RoundTripsThroughFullTables) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i % 97) + " of the text\n";
    for (const std::string& data :
         {std::string(), std::string("a"), std::string(10000, 'z'), Random(20000, 3), text}) {
        auto s = Make(data);
        ASSERT_TRUE(s->EncodeLZW(nullptr));
        EXPECT_EQ(filtertest::Dict(*s).find("/Filter /LZWDecode") != std::string::npos, true);
        EXPECT_EQ(Decoded(Data(*s)), data) << data.size();
    }
    auto s = Make(text);
    ASSERT_TRUE(s->EncodeLZW(nullptr));
    EXPECT_LT(s->GetDataLength(), static_cast<int32_t>(text.size() / 3));
}

TEST(LZWFilterTest, BadCodesFailAndAMissingEndIsTold) {
    Bits bad;
    bad.Put(256, 9);
    bad.Put(65, 9);
    bad.Put(300, 9);  // past the table
    auto s = Make(bad.Done());
    CPDFException e;
    EXPECT_FALSE(s->DecodeLZW(nullptr, &e));
    EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat);
    EXPECT_STREQ(e.GetModule(), "CPDFLZWFilter");

    Bits cut;
    cut.Put(256, 9);
    cut.Put(65, 9);
    cut.Put(66, 9);
    std::string warning;
    EXPECT_EQ(Decoded(cut.Done(), -1, &warning), "AB");
    EXPECT_NE(warning.find("end code"), std::string::npos);
}
