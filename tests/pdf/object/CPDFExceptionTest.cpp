#include "pdf/object/CPDFException.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

using corvina::CPDFException;

namespace {

TEST(CPDFExceptionTest, DefaultIsEmpty) {
    CPDFException e;
    EXPECT_TRUE(e.IsEmpty());
    EXPECT_EQ(e.GetType(), CPDFException::NoError);
    EXPECT_STREQ(e.GetModule(), "");
    EXPECT_STREQ(e.GetMethod(), "");
    EXPECT_STREQ(e.GetFactor(), "");
}

TEST(CPDFExceptionTest, SystemTypesWithoutFactorTakeErrnoText) {
    for (int type : {CPDFException::RuntimeLibraryError, CPDFException::SystemError}) {
        const std::string expected = std::strerror(ENOENT);
        errno = ENOENT;
        CPDFException e("CPDFDoc", "Open", type, nullptr);
        EXPECT_EQ(std::string(e.GetFactor()), expected) << "type " << type;
        EXPECT_STREQ(e.GetModule(), "CPDFDoc");
        EXPECT_STREQ(e.GetMethod(), "Open");
        EXPECT_EQ(e.GetType(), type);
        EXPECT_FALSE(e.IsEmpty());
    }
}

TEST(CPDFExceptionTest, OtherTypesWithoutFactorStayEmpty) {
    for (int type :
         {CPDFException::UserError, CPDFException::InvalidFormat, CPDFException::InternalError}) {
        errno = EACCES;
        CPDFException e("CPDFDict", "Serialize", type, nullptr);
        EXPECT_STREQ(e.GetFactor(), "") << "type " << type;
        EXPECT_EQ(e.GetType(), type);
    }
}

TEST(CPDFExceptionTest, GivenFactorIsAlwaysKept) {
    for (int type = 0; type <= 6; ++type) {
        errno = ENOENT;
        CPDFException e("CPDFDict", "Serialize", type, "ioerror");
        EXPECT_STREQ(e.GetFactor(), "ioerror") << "type " << type;
    }
    errno = ENOENT;
    CPDFException empty("CPDFDoc", "Open", CPDFException::RuntimeLibraryError, "");
    EXPECT_STREQ(empty.GetFactor(), "");
}

TEST(CPDFExceptionTest, SetReplacesEveryField) {
    CPDFException e("CPDFDict", "Serialize", CPDFException::InvalidFormat, "ioerror");
    e.Set("CPDFDoc", "CPDFDoc::GetTrailer()", CPDFException::InternalError, nullptr);
    EXPECT_STREQ(e.GetModule(), "CPDFDoc");
    EXPECT_STREQ(e.GetMethod(), "CPDFDoc::GetTrailer()");
    EXPECT_EQ(e.GetType(), CPDFException::InternalError);
    EXPECT_STREQ(e.GetFactor(), "");
}

TEST(CPDFExceptionTest, ClearKeepsTextsReadable) {
    CPDFException e("CPDFDoc", "Open", CPDFException::UserError, "encrypted document");
    e.Clear();
    EXPECT_TRUE(e.IsEmpty());
    EXPECT_STREQ(e.GetModule(), "CPDFDoc");
    EXPECT_STREQ(e.GetMethod(), "Open");
    EXPECT_STREQ(e.GetFactor(), "encrypted document");
}

TEST(CPDFExceptionTest, CopiesCarryAllFields) {
    const CPDFException original("CPDFDict", "Serialize", CPDFException::InvalidFormat,
                                 "typecheck: Name");
    CPDFException copy(original);
    CPDFException assigned;
    assigned = original;
    for (const CPDFException* e : {&copy, &assigned}) {
        EXPECT_STREQ(e->GetModule(), "CPDFDict");
        EXPECT_STREQ(e->GetMethod(), "Serialize");
        EXPECT_EQ(e->GetType(), CPDFException::InvalidFormat);
        EXPECT_STREQ(e->GetFactor(), "typecheck: Name");
    }
}

TEST(CPDFExceptionTest, TypeTexts) {
    EXPECT_STREQ(CPDFException::TypeText(1), "Runtime Library Error");
    EXPECT_STREQ(CPDFException::TypeText(2), "System Error");
    EXPECT_STREQ(CPDFException::TypeText(3), "User Error");
    EXPECT_STREQ(CPDFException::TypeText(4), "Invalid Format");
    EXPECT_STREQ(CPDFException::TypeText(5), "Internal Error");
    EXPECT_STREQ(CPDFException::TypeText(0), "");
    EXPECT_STREQ(CPDFException::TypeText(6), "");
    EXPECT_STREQ(CPDFException::TypeText(-1), "");
}

TEST(CPDFExceptionTest, ThrownByValueAndCaughtByReference) {
    try {
        throw CPDFException("CPDFString", "Serialize", CPDFException::InvalidFormat,
                            corvina::FormatFactor("invalidtoken: %s", "<<<").c_str());
    } catch (const CPDFException& e) {
        EXPECT_STREQ(e.GetFactor(), "invalidtoken: <<<");
        return;
    }
    FAIL() << "not caught";
}

TEST(CPDFExceptionTest, FormattedFactorIsCutAt1023Bytes) {
    const std::string token(2000, 'x');
    const std::string factor = corvina::FormatFactor("invalidtoken: %s", token.c_str());
    ASSERT_EQ(factor.size(), 1023u);
    EXPECT_EQ(factor.substr(0, 14), "invalidtoken: ");
    EXPECT_EQ(factor.substr(14), std::string(1023 - 14, 'x'));
}

}  // namespace
