#include "tool/CPDFDriver.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(CPDFDriverNames, OrderIsUnsignedUnitsUpToZero) {
    const CNameLess less;
    // Unsigned: 0xFFFF sorts after every ASCII unit, not before as a signed unit would.
    EXPECT_TRUE(less(u"a", u"\uFFFF"));
    EXPECT_FALSE(less(u"\uFFFF", u"a"));
    EXPECT_TRUE(less(u"\u00e9", u"\u8000"));
    // A prefix sorts first.
    EXPECT_TRUE(less(u"ab", u"abc"));
    EXPECT_FALSE(less(u"abc", u"ab"));
    EXPECT_FALSE(less(u"ab", u"ab"));
    // A zero unit ends the name: what follows it does not count.
    const std::u16string cut(u"ab\0z", 4);
    const std::u16string other(u"ab\0a", 4);
    EXPECT_FALSE(less(cut, u"ab"));
    EXPECT_FALSE(less(u"ab", cut));
    EXPECT_FALSE(less(cut, other));
    EXPECT_FALSE(less(other, cut));
    EXPECT_TRUE(less(cut, u"ab\u0001"));

    CPDFDriver::NameMap names;
    names[u"\uFFFF"] = corvina::CPDFObjRef(1, 0);
    names[u"b"] = corvina::CPDFObjRef(2, 0);
    names[u"a"] = corvina::CPDFObjRef(3, 0);
    std::u16string order;
    for (const auto& entry : names) order += entry.first;
    EXPECT_EQ(order, u"ab\uFFFF");
}
