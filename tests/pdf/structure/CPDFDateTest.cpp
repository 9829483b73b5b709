#include "pdf/structure/CPDFDate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "pdf/structure/StructType.h"
#include "tests/pdf/structure/StructTestUtil.h"

namespace corvina {
namespace {

using structtest::ParseAs;

// Sets the process time zone for one test and puts the old one back.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

// 2000-12-31 23:59:59 universal time.
constexpr std::time_t kLastSecondOf2000 = 978307199;

std::string Bytes(const CPDFDate& date) {
    return std::string(date.Text(), date.Length());
}

bool IsDate(const std::string& text) {
    auto plain = ParseAs<CPDFString>(text);
    return plain && CPDFDate::Recognize(nullptr, plain.get());
}

TEST(CPDFDateTest, RecognizerLooksAtThePrefixOnly) {
    EXPECT_TRUE(IsDate("(D:20000101120000)"));
    EXPECT_TRUE(IsDate("(D:)"));
    EXPECT_TRUE(IsDate("(D:garbage)"));
    EXPECT_FALSE(IsDate("(D)"));
    EXPECT_FALSE(IsDate("()"));
    EXPECT_FALSE(IsDate("(2000-01-01)"));
    EXPECT_FALSE(IsDate("(d:20000101)"));
}

TEST(CPDFDateTest, LocalTimeWithoutZone) {
    ZoneGuard zone("JST-9");
    CPDFDate date;
    date.SetTime(kLastSecondOf2000 - 9 * 3600, false);
    EXPECT_EQ("D:20001231235959", Bytes(date));
}

TEST(CPDFDateTest, ZoneAheadBehindAndEqual) {
    CPDFDate date;
    {
        ZoneGuard zone("JST-9");
        date.SetTime(kLastSecondOf2000 - 9 * 3600, true);
        EXPECT_EQ("D:20001231235959+09'00'", Bytes(date));
    }
    {
        ZoneGuard zone("EST5");
        date.SetTime(kLastSecondOf2000 + 5 * 3600, true);
        EXPECT_EQ("D:20001231235959-05'00'", Bytes(date));
    }
    {
        ZoneGuard zone("IST-5:30");
        date.SetTime(0, true);
        EXPECT_EQ("D:19700101053000+05'30'", Bytes(date));
    }
    {
        ZoneGuard zone("UTC0");
        date.SetTime(kLastSecondOf2000, true);
        EXPECT_EQ("D:20001231235959Z00'00'", Bytes(date));
    }
}

TEST(CPDFDateTest, SetNowHasTheShortForm) {
    CPDFDate date;
    date.SetNow(false);
    const std::string text = Bytes(date);
    ASSERT_EQ(16u, text.size());
    EXPECT_EQ("D:", text.substr(0, 2));
    EXPECT_EQ(std::string::npos, text.find_first_not_of("0123456789", 2));
}

TEST(CPDFDateTest, WrittenAsALiteralString) {
    ZoneGuard zone("UTC0");
    CPDFDate date;
    date.SetTime(kLastSecondOf2000, false);
    EXPECT_EQ("(D:20001231235959)", structtest::Written(date));
}

TEST(CPDFDateTest, LoadAndDuplicateCopyTheBytes) {
    auto plain = ParseAs<CPDFString>("(D:19991231)");
    CPDFDate date;
    ASSERT_TRUE(date.Load(nullptr, plain.get()));
    EXPECT_EQ("D:19991231", Bytes(date));
    EXPECT_EQ("D:19991231", std::string(plain->Text(), plain->Length()));
    EXPECT_FALSE(date.IsParsed());
    EXPECT_EQ(CPDFObject::String, date.TypeCode());
    EXPECT_EQ(detail::DateType, date.StructType());

    std::unique_ptr<CPDFObject> copy = date.Duplicate(nullptr, nullptr);
    auto* typed = dynamic_cast<CPDFDate*>(copy.get());
    ASSERT_TRUE(typed);
    EXPECT_EQ("D:19991231", Bytes(*typed));
}

}  // namespace
}  // namespace corvina
