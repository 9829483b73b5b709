// The filter framework: the memory input, the skeleton's callbacks and error
// records, and the stream's Filter and DecodeParms bookkeeping.
#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <string>
#include <vector>

#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/stream/CPDFStream.h"
#include "pdf/stream/StrLoad.h"

using corvina::CPDFArray;
using corvina::CPDFDict;
using corvina::CPDFException;
using corvina::CPDFInt;
using corvina::CPDFName;
using corvina::CPDFObject;
using corvina::CPDFStream;
using corvina::MemOutStream;
using corvina::PDFProgressRange;
using corvina::StrLoad;

namespace {

std::unique_ptr<CPDFStream> Make(const std::string& data) {
    auto s = std::make_unique<CPDFStream>();
    EXPECT_TRUE(s->SetData(data.data(), static_cast<int32_t>(data.size())));
    return s;
}

std::string Data(CPDFStream& s) {
    return std::string(s.GetData(), static_cast<size_t>(s.GetDataLength()));
}

// The dictionary as written, without its line ends.
std::string Dict(CPDFStream& s) {
    MemOutStream out;
    s.CPDFDict::Serialize(out, nullptr);
    std::string text = out.Data();
    std::string flat;
    for (char c : text)
        if (c != '\r' && c != '\n') flat += c;
    return flat;
}

std::string Deflated(const std::string& in) {
    uLongf n = compressBound(static_cast<uLong>(in.size()));
    std::string out(n, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(in.data()),
             static_cast<uLong>(in.size()));
    out.resize(n);
    return out;
}

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    uint32_t x = 12345;
    for (auto& c : s) {
        x = x * 1103515245 + 12345;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

}  // namespace

TEST(StrLoadTest, ReadsThroughSmallBufferAndSeeks) {
    const std::string block = "0123456789abcdef";
    StrLoad in;
    ASSERT_TRUE(in.Open(block.data(), static_cast<int32_t>(block.size()), 4));
    EXPECT_EQ(in.Kind(), 2);
    EXPECT_STREQ(in.KindName(), "Str");
    EXPECT_EQ(in.Get(), '0');
    char buf[8] = {};
    EXPECT_EQ(in.Read(buf, 7), 7);
    EXPECT_EQ(std::string(buf, 7), "1234567");
    EXPECT_EQ(in.Tell(), 8);
    EXPECT_EQ(in.Seek(2), 0);
    EXPECT_EQ(in.Get(), '2');
    EXPECT_EQ(in.Seek(15), 0);
    EXPECT_EQ(in.Get(), 'f');
    EXPECT_EQ(in.Get(), -1);
    EXPECT_EQ(in.Read(buf, 4), 0);
    EXPECT_EQ(in.Seek(17), -1);
    char word[32];
    ASSERT_EQ(in.Seek(0), 0);
    ASSERT_NE(in.ReadToken(word, sizeof word), nullptr);
    EXPECT_STREQ(word, "0123456789abcdef");
}

TEST(StrLoadTest, BufferSizeBelowOneIsDefault) {
    StrLoad in;
    const std::string big(10000, 'x');
    ASSERT_TRUE(in.Open(big.data(), 10000, -1));
    EXPECT_EQ(in.Refill(), 4096);
    EXPECT_FALSE(in.Open(nullptr, 5, 0));
}

TEST(ASCIIHexFilterTest, EdgeCases) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"4>", std::string(1, '\x40')},
        {"41 42\n43>ignored", "ABC"},
        {"6a6B", "jk"},
        {"", ""},
    };
    for (const auto& c : cases) {
        auto s = Make(c.in);
        CPDFException e;
        EXPECT_TRUE(s->DecodeASCIIHex(nullptr, &e)) << c.in;
        EXPECT_EQ(Data(*s), c.out) << c.in;
    }
    auto bad = Make("41G2");
    CPDFException e;
    EXPECT_FALSE(bad->DecodeASCIIHex(nullptr, &e));
    EXPECT_STREQ(e.GetFactor(), "invalid char: G");
    EXPECT_STREQ(e.GetModule(), "CPDFASCIIHexFilter");
    EXPECT_STREQ(e.GetMethod(), "Decode");
    EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat);
    EXPECT_EQ(Data(*bad), "41G2");

    auto enc = Make(std::string("\x00\xff", 2));
    ASSERT_TRUE(enc->EncodeASCIIHex(nullptr));
    EXPECT_EQ(Data(*enc), "00FF>");
    EXPECT_EQ(Dict(*enc), "<</Filter /ASCIIHexDecode/Length 5>>");
}

TEST(FlateFilterTest, RoundTripsAcrossPieceBoundaries) {
    for (size_t n : {size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, size_t{300000}}) {
        const std::string in = Pattern(n);
        auto s = Make(in);
        ASSERT_TRUE(s->EncodeFlate(nullptr)) << n;
        std::string packed = Data(*s);
        uLongf size = static_cast<uLongf>(n);
        std::string check(n, '\0');
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(check.data()), &size,
                             reinterpret_cast<const Bytef*>(packed.data()),
                             static_cast<uLong>(packed.size())),
                  Z_OK);
        EXPECT_EQ(check, in);
        CPDFException e;
        ASSERT_TRUE(s->DecodeAllFilter(&e)) << e.GetFactor();
        EXPECT_EQ(Data(*s), in) << n;
        EXPECT_TRUE(s->FilterWarning().empty());
        EXPECT_EQ(Dict(*s), "<</Length " + std::to_string(n) + ">>");
    }
}

TEST(FlateFilterTest, TruncatedDataKeepsWhatInflatedAndWarns) {
    const std::string in(100000, 'a');
    std::string packed = Deflated(in + Pattern(50000));
    packed.resize(packed.size() / 2);
    auto s = Make(packed);
    CPDFException e;
    ASSERT_TRUE(s->DecodeFlate(nullptr, &e));
    EXPECT_TRUE(e.IsEmpty());
    const std::string out = Data(*s);
    ASSERT_GE(out.size(), in.size());
    EXPECT_EQ(out.substr(0, in.size()), in);
    EXPECT_NE(s->FilterWarning().find("ended early"), std::string::npos) << s->FilterWarning();

    auto corrupt = Make(std::string("\x78\x9c\xff\xff\xff\xff", 6));
    ASSERT_TRUE(corrupt->DecodeFlate(nullptr, &e));
    EXPECT_EQ(corrupt->GetDataLength(), 0);
    EXPECT_NE(corrupt->FilterWarning().find("corrupt"), std::string::npos);
}

TEST(FilterDispatchTest, UnknownAndReservedFiltersFail) {
    auto s = Make("abc");
    ASSERT_TRUE(s->Set_Filter(std::make_unique<CPDFName>("JPXDecode")));
    CPDFException e;
    EXPECT_FALSE(s->DecodeAllFilter(&e));
    EXPECT_STREQ(e.GetFactor(), "unknown filter: JPXDecode");
    EXPECT_STREQ(e.GetModule(), "CPDFStream");
    EXPECT_STREQ(e.GetMethod(), "DecodeFilter");
    EXPECT_EQ(Data(*s), "abc");
    EXPECT_EQ(Dict(*s), "<</Filter /JPXDecode/Length 3>>");
    EXPECT_FALSE(s->DecodeReserved(nullptr, &e));

    auto plain = Make("abc");
    EXPECT_TRUE(plain->DecodeAllFilter(&e));
    EXPECT_EQ(Data(*plain), "abc");

    auto typed = Make("abc");
    typed->Set_Filter(std::make_unique<CPDFName>("CCITTFaxDecode"));
    CPDFInt notDict(1);
    EXPECT_FALSE(typed->DecodeFilter("CCITTFaxDecode", &notDict, &e));
    EXPECT_STREQ(e.GetFactor(), "typecheck: Integer");
    EXPECT_STREQ(e.GetMethod(), "CCITTFaxDecode");
}

TEST(FilterDispatchTest, EncodeFilterKeepsFilterAndParmsInStep) {
    auto s = Make("x");
    ASSERT_TRUE(s->Set_Filter(std::make_unique<CPDFName>("ASCII85Decode")));
    ASSERT_TRUE(s->EncodeFilter("FlateDecode", nullptr, nullptr));
    EXPECT_EQ(Dict(*s), "<</Filter [/FlateDecode /ASCII85Decode]/Length 1>>");

    auto parms = std::make_unique<CPDFDict>();
    parms->Insert("K", std::make_unique<CPDFInt>(-1));
    ASSERT_TRUE(s->EncodeFilter("CCITTFaxDecode", std::move(parms), nullptr));
    EXPECT_EQ(Dict(*s),
              "<</DecodeParms [<</K -1>> null null]/Filter [/CCITTFaxDecode /FlateDecode "
              "/ASCII85Decode]/Length 1>>");
    ASSERT_TRUE(s->EncodeFilter("ASCIIHexDecode", nullptr, nullptr));
    EXPECT_EQ(Dict(*s),
              "<</DecodeParms [null <</K -1>> null null]/Filter [/ASCIIHexDecode "
              "/CCITTFaxDecode /FlateDecode /ASCII85Decode]/Length 1>>");

    auto one = Make("x");
    auto p = std::make_unique<CPDFDict>();
    p->Insert("K", std::make_unique<CPDFInt>(0));
    ASSERT_TRUE(one->EncodeFilter("CCITTFaxDecode", std::move(p), nullptr));
    EXPECT_EQ(Dict(*one), "<</DecodeParms <</K 0>>/Filter /CCITTFaxDecode/Length 1>>");
    ASSERT_TRUE(one->EncodeFilter("FlateDecode", nullptr, nullptr));
    EXPECT_EQ(Dict(*one),
              "<</DecodeParms [null <</K 0>>]/Filter [/FlateDecode /CCITTFaxDecode]/Length 1>>");
}

TEST(FilterDispatchTest, ChainDecodesInOrderAndLeavesTheRestOnFailure) {
    const std::string in = Pattern(10000);
    auto s = Make(in);
    ASSERT_TRUE(s->EncodeFlate(nullptr));
    ASSERT_TRUE(s->EncodeASCIIHex(nullptr));
    EXPECT_EQ(Dict(*s).substr(0, 40), "<</Filter [/ASCIIHexDecode /FlateDecode]");
    std::vector<int> seen;
    PDFProgressRange range{0, 100, &seen};
    auto progress = [](int32_t pos, void* user) {
        static_cast<std::vector<int>*>(user)->push_back(pos);
    };
    ASSERT_TRUE(s->DecodeAllFilter(nullptr, progress, nullptr, range));
    EXPECT_EQ(Data(*s), in);
    EXPECT_EQ(Dict(*s), "<</Length 10000>>");
    ASSERT_FALSE(seen.empty());
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_LT(seen[i - 1], seen[i]);
    EXPECT_LE(seen.back(), 100);
    EXPECT_GT(seen.back(), 50);  // the second filter reports in the upper half

    // Hex, then an unknown filter: the hex layer is gone, the rest is listed.
    auto t = Make("414243>");
    auto names = std::make_unique<CPDFArray>();
    names->Push_Back(std::make_unique<CPDFName>("ASCIIHexDecode"));
    names->Push_Back(std::make_unique<CPDFName>("JBIG2Decode"));
    t->Set_Filter(std::move(names));
    CPDFException e;
    EXPECT_FALSE(t->DecodeAllFilter(&e));
    EXPECT_STREQ(e.GetFactor(), "unknown filter: JBIG2Decode");
    EXPECT_EQ(Data(*t), "ABC");
    EXPECT_EQ(Dict(*t), "<</Filter [/JBIG2Decode]/Length 3>>");

    auto u = Make("x");
    u->Set_Filter(std::make_unique<CPDFArray>());
    u->Set_DecodeParms(std::make_unique<CPDFDict>());
    EXPECT_FALSE(u->DecodeAllFilter(&e));
    EXPECT_STREQ(e.GetFactor(), "typecheck: Dictionary");
}

TEST(FilterDispatchTest, CancelStopsWithUserErrorAndKeepsData) {
    const std::string in = Pattern(20000);
    auto s = Make(in);
    auto cancel = [](bool* stop, void*) { *stop = true; };
    CPDFException e;
    EXPECT_FALSE(s->EncodeFlate(&e, nullptr, cancel));
    EXPECT_EQ(e.GetType(), CPDFException::UserError);
    EXPECT_STREQ(e.GetFactor(), "canceled by user");
    EXPECT_STREQ(e.GetModule(), "CPDFFlateFilter");
    EXPECT_STREQ(e.GetMethod(), "Encode");
    EXPECT_EQ(Data(*s), in);
    EXPECT_EQ(Dict(*s), "<</Length 20000>>");
}

TEST(FilterDispatchTest, DecodeLimitRefusesALargerResultAndKeepsData) {
    const std::string zeros(100000, '\0');
    auto s = Make(zeros);
    ASSERT_TRUE(s->EncodeFlate(nullptr));
    const std::string packed = Data(*s);
    s->SetDecodeLimit(65536);
    CPDFException e;
    EXPECT_FALSE(s->DecodeAllFilter(&e));
    EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat);
    EXPECT_STREQ(e.GetFactor(), "decoded data exceeds 65536 bytes");
    EXPECT_EQ(Data(*s), packed);
    EXPECT_EQ(Dict(*s).substr(0, 20), "<</Filter /FlateDeco");

    s->SetDecodeLimit(100000);  // exactly the result: allowed
    ASSERT_TRUE(s->DecodeAllFilter(&e));
    EXPECT_EQ(Data(*s), zeros);
}
