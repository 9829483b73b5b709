#include "pdf/object/ObjectCrypt.h"

#include <gtest/gtest.h>

#include <string>

#include "pdf/object/CPDFString.h"
#include "support/CryptTestUtil.h"
#include "support/ObjectTestUtil.h"

namespace corvina {
namespace {
using namespace corvina::testing;

std::string Hex(const unsigned char* data, int n) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (int k = 0; k < n; ++k) {
        s += digits[data[k] >> 4];
        s += digits[data[k] & 15];
    }
    return s;
}

// Object 7, generation 0 of a document whose key is 01 02 03 04 05.
const unsigned char kContextBytes[10] = {1, 2, 3, 4, 5, 7, 0, 0, 0, 0};
const detail::ObjectCrypt kCrypt = Rc4Context(kContextBytes);
const CryptKey kContext = &kCrypt;

TEST(RC4, KnownVectorAndObjectKey) {
    unsigned char text[] = "Plaintext";
    detail::Rc4(reinterpret_cast<const unsigned char*>("Key"), 3, text, 9);
    EXPECT_EQ(Hex(text, 9), "BBF316E8D940AF0AD3");
    // first 10 bytes of MD5(context)
    EXPECT_EQ(Hex(kCrypt.strings.key, 10), "9898FD1C6F9CD632194C");
}

TEST(RC4, StringsAreEncryptedOnWriteAndDecryptedOnRead) {
    CPDFString s("Hello, PDF");
    s.SetLiteral(false);
    EXPECT_EQ(WriteText(s, kContext), "<B4B2BE0D62B2DC35FEFB>");
    EXPECT_STREQ(s.Text(), "Hello, PDF");  // the object itself stays plain

    auto parsed = ParseText("<B4B2BE0D62B2DC35FEFB>", kContext);
    ASSERT_TRUE(parsed);
    EXPECT_STREQ(static_cast<CPDFString*>(parsed.get())->Text(), "Hello, PDF");

    // Inside a dictionary the value is decrypted, the key is not touched.
    parsed = ParseText("<</Hello#2C#20PDF <B4B2BE0D62B2DC35FEFB>>>", kContext);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(WriteText(*parsed, kContext), "<<\r\n/Hello,#20PDF <B4B2BE0D62B2DC35FEFB>\r\n>>");
    EXPECT_EQ(WriteText(*parsed), "<<\r\n/Hello,#20PDF <48656C6C6F2C20504446>\r\n>>");
}

}  // namespace
}  // namespace corvina
