#include "pdf/file/CPDFEncryptDict.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFObjRef.h"

using corvina::CPDFDict;
using corvina::CPDFEncryptDict;
using corvina::CPDFName;
using corvina::CPDFNumber;
using corvina::CPDFObjRef;
using corvina::CPDFString;

namespace {

std::unique_ptr<CPDFDict> Standard(int v, int r) {
    auto d = std::make_unique<CPDFDict>();
    const std::string o(32, 'o');
    const std::string u(32, 'u');
    d->Insert("Filter", std::make_unique<CPDFName>("Standard"));
    d->Insert("V", std::make_unique<CPDFNumber>(v));
    d->Insert("R", std::make_unique<CPDFNumber>(r));
    d->Insert("O", std::make_unique<CPDFString>(o.data(), 32));
    d->Insert("U", std::make_unique<CPDFString>(u.data(), 32));
    d->Insert("P", std::make_unique<CPDFNumber>(-44));
    return d;
}

}  // namespace

TEST(CPDFEncryptDict, RecognizesTheStandardHandlerShape) {
    EXPECT_TRUE(CPDFEncryptDict::Recognize(nullptr, Standard(1, 2).get()));
    // Another handler needs only a name and P.
    CPDFDict other;
    other.Insert("Filter", std::make_unique<CPDFName>("Other"));
    other.Insert("P", std::make_unique<CPDFNumber>(0));
    EXPECT_TRUE(CPDFEncryptDict::Recognize(nullptr, &other));

    for (const char* key : {"Filter", "R", "O", "U", "P"}) {
        auto d = Standard(1, 2);
        d->Detach(key);
        EXPECT_FALSE(CPDFEncryptDict::Recognize(nullptr, d.get())) << key;
    }
    auto badO = Standard(1, 2);
    badO->Insert("O", std::make_unique<CPDFName>("O"));
    EXPECT_FALSE(CPDFEncryptDict::Recognize(nullptr, badO.get()));
    auto badFilter = Standard(1, 2);
    badFilter->Insert("Filter", std::make_unique<CPDFString>("Standard"));
    EXPECT_FALSE(CPDFEncryptDict::Recognize(nullptr, badFilter.get()));
    // A value behind a reference that cannot be resolved does not count.
    auto indirectP = Standard(1, 2);
    indirectP->Insert("P", std::make_unique<CPDFObjRef>(4, 0));
    EXPECT_FALSE(CPDFEncryptDict::Recognize(nullptr, indirectP.get()));
}

TEST(CPDFEncryptDict, LoadTakesTheEntries) {
    auto plain = Standard(1, 2);
    CPDFEncryptDict typed;
    ASSERT_TRUE(typed.Load(nullptr, plain.get()));
    EXPECT_EQ(plain->Count(), 0);
    EXPECT_EQ(typed.Count(), 6);
    ASSERT_NE(typed.Get_O(), nullptr);
    EXPECT_EQ(typed.Get_O()->Length(), 32);
    EXPECT_EQ(typed.Get_P()->IntValue(), -44);
    EXPECT_TRUE(typed.Get_Filter()->Equals("Standard"));
    EXPECT_FALSE(typed.IsParsed());
}

TEST(CPDFEncryptDict, SupportedHandlerIsStandardRevisionsTwoToSixWithTheirVersions) {
    struct Case {
        int v, r;
        bool ok;
    };
    // O and U of 32 bytes are too short from revision 5 on (48).
    for (const Case& c : {Case{1, 2, true}, Case{2, 2, false}, Case{1, 3, true}, Case{2, 3, true},
                          Case{4, 3, false}, Case{4, 4, true}, Case{2, 4, false}, Case{5, 5, false},
                          Case{5, 6, false}, Case{1, 7, false}, Case{0, 1, false}}) {
        CPDFEncryptDict typed;
        ASSERT_TRUE(typed.Load(nullptr, Standard(c.v, c.r).get()));
        EXPECT_EQ(typed.IsSupportedHandler(), c.ok) << c.v << " " << c.r;
    }
    CPDFEncryptDict noV;
    auto plain = Standard(1, 2);
    plain->Detach("V");
    ASSERT_TRUE(noV.Load(nullptr, plain.get()));
    EXPECT_FALSE(noV.IsSupportedHandler());
}

TEST(CPDFEncryptDict, RealizeNeedsP) {
    CPDFEncryptDict typed;
    ASSERT_TRUE(typed.Load(nullptr, Standard(1, 2).get()));
    EXPECT_TRUE(typed.Realize(nullptr));
    ASSERT_TRUE(typed.Set_P(-3904));
    EXPECT_EQ(typed.Get_P()->IntValue(), -3904);
    typed.Detach("P");
    EXPECT_FALSE(typed.Realize(nullptr));
}
