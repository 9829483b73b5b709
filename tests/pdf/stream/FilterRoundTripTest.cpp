// Every encoder and its decoder, alone and chained: what is encoded decodes
// to the same bytes, across piece boundaries and into the mapped buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/object/CPDFException.h"
#include "pdf/stream/CPDFStream.h"
#include "pdf/stream/FilterTestUtil.h"

using corvina::CPDFException;
using corvina::CPDFStream;
using filtertest::Data;
using filtertest::Dict;
using filtertest::Make;
using filtertest::Random;

namespace {

using Encoder = bool (CPDFStream::*)(CPDFException*, corvina::PDFProgressProc,
                                     corvina::PDFCancelProc, const corvina::PDFProgressRange&);

struct Filter {
    const char* name;
    Encoder encode;
};

const Filter kHex{"ASCIIHexDecode", &CPDFStream::EncodeASCIIHex};
const Filter k85{"ASCII85Decode", &CPDFStream::EncodeASCII85};
const Filter kRun{"RunLengthDecode", &CPDFStream::EncodeRunLength};
const Filter kFlate{"FlateDecode", &CPDFStream::EncodeFlate};

struct Input {
    const char* label;
    std::string bytes;
};

std::vector<Input> Inputs() {
    std::string runs;  // long runs, short runs and runs of two, mixed
    for (int i = 0; i < 3000; ++i)
        runs += std::string(static_cast<size_t>(i % 7 * 50 + 1), "ab\0"[i % 3]);
    std::string groups = std::string(8192, '\0') + "x" + std::string(4099, '\0');
    return {
        {"empty", ""},
        {"one byte", "A"},
        {"4095", Random(4095)},
        {"4096", Random(4096, 7)},
        {"4097", Random(4097, 9)},
        {"1 MB", Random(1 << 20, 3)},
        {"runs", runs},
        {"zero groups", groups},
    };
}

// The Filter entry a chain leaves, first the last one applied.
std::string FilterEntry(const std::vector<Filter>& chain) {
    if (chain.size() == 1) return std::string("/Filter /") + chain[0].name;
    std::string names;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        names += std::string(names.empty() ? "" : " ") + "/" + it->name;
    return "/Filter [" + names + "]";
}

}  // namespace

TEST(FilterRoundTripTest, EveryFilterAndChainGivesTheInputBack) {
    const std::vector<std::vector<Filter>> chains = {
        {kHex},
        {k85},
        {kRun},
        {kFlate},
        {kFlate, k85},
        {kRun, kHex},
        {k85, kFlate},
        {kRun, kFlate, k85},
        {k85, kRun, kHex},
    };
    for (const Input& input : Inputs()) {
        for (const auto& chain : chains) {
            const std::string what = std::string(input.label) + " through " + FilterEntry(chain);
            auto s = Make(input.bytes);
            CPDFException e;
            for (const Filter& f : chain)
                ASSERT_TRUE(((*s).*f.encode)(&e, nullptr, nullptr, {})) << what;
            const std::string encoded = Data(*s);
            if (!input.bytes.empty()) {
                EXPECT_NE(encoded, input.bytes) << what;
                EXPECT_NE(Dict(*s).find(FilterEntry(chain)), std::string::npos) << Dict(*s);
            }
            ASSERT_TRUE(s->DecodeAllFilter(&e)) << what << ": " << e.GetFactor();
            EXPECT_TRUE(Data(*s) == input.bytes) << what;
            EXPECT_EQ(Dict(*s).find("/Filter"), std::string::npos) << what;
            EXPECT_EQ(s->FilterWarning(), "") << what;
        }
    }
}

// A warning of the first filter of a chain survives the filters after it.
TEST(FilterRoundTripTest, ChainKeepsTheWarningOfAnEarlierFilter) {
    auto s = Make(
        "\x05"
        "4142");  // a literal record of six, cut after four
    ASSERT_TRUE(s->EncodeFilter("ASCIIHexDecode", nullptr, nullptr));
    ASSERT_TRUE(s->EncodeFilter("RunLengthDecode", nullptr, nullptr));
    CPDFException e;
    ASSERT_TRUE(s->DecodeAllFilter(&e)) << e.GetFactor();
    EXPECT_EQ(Data(*s), "AB");
    EXPECT_NE(s->FilterWarning().find("ended inside a record"), std::string::npos)
        << s->FilterWarning();
}
