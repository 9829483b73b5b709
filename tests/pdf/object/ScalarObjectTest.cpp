#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "pdf/object/CPDFBool.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFNull.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFReal.h"
#include "support/ObjectTestUtil.h"

namespace corvina {
namespace {
using namespace corvina::testing;

TEST(CPDFObjRef, WritesNumbersAndR) {
    EXPECT_EQ(WriteRef(CPDFObjRef()), "-1 -1 R");
    EXPECT_EQ(WriteRef(CPDFObjRef(12, 3)), "12 3 R");
    EXPECT_FALSE(CPDFObjRef().IsSet());
    EXPECT_FALSE(CPDFObjRef(5, -1).IsSet());
    EXPECT_TRUE(CPDFObjRef(0, 0).IsSet());
    EXPECT_EQ(CPDFObjRef(1, 0).Kind(), CPDFAtom::RefKind);
    EXPECT_STREQ(CPDFObjRef(1, 0).KindName(), "Indirect Reference");
}

TEST(CPDFNumber, ViewsFromConstructors) {
    CPDFNumber fromFloat(2.9f);
    EXPECT_EQ(fromFloat.IntValue(), 2);
    CPDFNumber negative(-2.9f);
    EXPECT_EQ(negative.IntValue(), -2);
    CPDFNumber fromInt(7);
    EXPECT_EQ(WriteText(fromInt), "7");
    EXPECT_FLOAT_EQ(fromInt.RealValue(), 7.0f);
    EXPECT_EQ(fromInt.Kind(), CPDFAtom::ObjectKind);
    EXPECT_STREQ(fromInt.KindName(), "Object");
    EXPECT_STREQ(fromInt.TypeName(), "Number");
    EXPECT_FALSE(fromInt.IsParsed());
}

TEST(CPDFNumber, ParsedViewsFollowAtolAndAtof) {
    struct Case {
        const char* token;
        int32_t intValue;
        float realValue;
    } cases[] = {
        {"12.7", 12, 12.7f},
        {".5", 0, 0.5f},
        {"-.5", 0, -0.5f},
        {"+5", 5, 5.0f},
        {"1e5", 1, 100000.0f},
        {"5.", 5, 5.0f},
        {"1.2.3", 1, 1.2f},
        {"0x10", 0, 0.0f},
        {"-", 0, 0.0f},
        {"3e", 3, 3.0f},
        {"2E+2", 2, 200.0f},
        {"inf", 0, 0.0f},
        {"-32768", -32768, -32768.0f},
        // Integers saturate at 32 bits; reals stay finite.
        {"3000000000", 2147483647, 3e9f},
        {"-3000000000", INT32_MIN, -3e9f},
        {"1e39", 1, 3.4028234663852886e38f},
    };
    for (const auto& c : cases) {
        MemInStream in(std::string(c.token) + " ");
        auto n = CPDFNumber::SerializeObject(nullptr, in, nullptr);
        EXPECT_EQ(n->IntValue(), c.intValue) << c.token;
        EXPECT_FLOAT_EQ(n->RealValue(), c.realValue) << c.token;
        EXPECT_TRUE(n->IsParsed());
    }
}

// Valid tokens come back as read (see CPDFNumberTest); words that only start
// like a number are written from the views.
TEST(CPDFNumber, OutputForm) {
    struct Case {
        const char* token;
        const char* written;
    } cases[] = {
        {"40000.75", "40000.75"},
        {"32767.5", "32767.5"},
        {"-32768", "-32768"},
        {"2.0", "2.0"},
        {"1e5", "100000"},
        {"1234.5678", "1234.5678"},
        {"1.23456789e0", "1.234568"},
        {"-1e-7", "-0"},
        {"4e4", "40000"},
        {"3.2767e4", "32767"},
        {"-3e9", "-3000000000"},
        {"-3000000000", "-3000000000"},
    };
    for (const auto& c : cases) EXPECT_EQ(Rewrite(c.token), c.written) << c.token;
}

TEST(CPDFNumber, OutputDoesNotFollowTheLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char* found = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
        if (std::setlocale(LC_ALL, name)) {
            found = name;
            break;
        }
    if (!found) GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_EQ(Rewrite("12.5"), "12.5");
    EXPECT_EQ(Rewrite("[0.25 1]"), "[0.25 1]");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(CPDFIntAndReal, OutputForms) {
    EXPECT_EQ(WriteText(*std::make_unique<CPDFInt>(40000)), "40000");
    EXPECT_EQ(WriteText(*std::make_unique<CPDFInt>(-5)), "-5");
    CPDFReal tiny;
    tiny.SetReal(1e-7f);
    EXPECT_EQ(WriteText(tiny), "0");
    CPDFReal small;
    small.SetReal(0.000015f);
    EXPECT_EQ(WriteText(small), "0.000015");
    CPDFReal big;
    big.SetReal(50000.5f);  // the integer view does not matter for a real
    EXPECT_EQ(WriteText(big), "50000.5");
    EXPECT_EQ(CPDFInt().TypeCode(), CPDFObject::Integer);
    EXPECT_STREQ(CPDFInt().TypeName(), "Integer");
    EXPECT_EQ(CPDFReal().TypeCode(), CPDFObject::Real);
    EXPECT_STREQ(CPDFReal().TypeName(), "Real");
}

TEST(CPDFIntAndReal, LoadFromPlainNumberCopiesBothViews) {
    auto plain = ParseText("12.7");
    CPDFInt i;
    ASSERT_TRUE(i.Load(nullptr, *AsNumber(plain)));
    EXPECT_EQ(i.IntValue(), 12);
    EXPECT_FLOAT_EQ(i.RealValue(), 12.7f);
    EXPECT_EQ(WriteText(i), "12.7");  // loaded, not set: the text as read
    EXPECT_FALSE(i.IsParsed());
    CPDFReal r;
    ASSERT_TRUE(r.Load(nullptr, *AsNumber(plain)));
    EXPECT_EQ(r.IntValue(), 12);
    EXPECT_EQ(WriteText(r), "12.7");
}

TEST(CPDFBoolAndNull, ParseAndWrite) {
    EXPECT_EQ(Rewrite("true"), "true");
    EXPECT_EQ(Rewrite("false"), "false");
    EXPECT_EQ(Rewrite(" null "), "null");
    auto t = ParseText("true");
    ASSERT_EQ(t->TypeCode(), CPDFObject::Bool);
    EXPECT_TRUE(static_cast<CPDFBool*>(t.get())->Value());
    EXPECT_TRUE(t->IsParsed());
    EXPECT_EQ(ParseText("null")->TypeCode(), CPDFObject::Null);
    EXPECT_STREQ(CPDFNull().TypeName(), "Null");
    EXPECT_STREQ(CPDFBool().TypeName(), "Bool");
}

// Every scalar copy keeps its class, its value and the four flags.
TEST(ScalarDuplicate, CopiesClassValueAndFlags) {
    std::vector<std::unique_ptr<CPDFObject>> originals;
    originals.push_back(std::make_unique<CPDFBool>(true));
    originals.push_back(ParseText("-12.25"));
    originals.push_back(std::make_unique<CPDFInt>(123456));
    auto real = std::make_unique<CPDFReal>();
    real->SetReal(2.5f);
    originals.push_back(std::move(real));
    originals.push_back(std::make_unique<CPDFNull>());
    for (auto& original : originals) {
        original->SetDuplicable(false);
        original->SetLinearizable(false);
        auto copy = original->Duplicate(nullptr, nullptr);
        ASSERT_TRUE(copy);
        EXPECT_EQ(typeid(*copy), typeid(*original));
        EXPECT_EQ(copy->TypeCode(), original->TypeCode());
        EXPECT_EQ(copy->IsParsed(), original->IsParsed());
        EXPECT_FALSE(copy->IsDuplicable());
        EXPECT_TRUE(copy->IsReleasable());
        EXPECT_FALSE(copy->IsLinearizable());
        EXPECT_EQ(WriteText(*copy), WriteText(*original));
    }
    auto number = originals[1]->Duplicate(nullptr, nullptr);
    EXPECT_TRUE(number->IsParsed());
    EXPECT_EQ(static_cast<CPDFNumber*>(number.get())->IntValue(), -12);
    EXPECT_FLOAT_EQ(static_cast<CPDFNumber*>(number.get())->RealValue(), -12.25f);
}

}  // namespace
}  // namespace corvina
