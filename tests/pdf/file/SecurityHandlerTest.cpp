#include "pdf/file/SecurityHandler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <nettle/arcfour.h>

#include "pdf/object/AesCbc.h"
#include "pdf/object/ObjectCrypt.h"

namespace corvina {
namespace {

std::string Bytes(const std::string& hex) {
    std::string out;
    for (size_t k = 0; k + 1 < hex.size(); k += 2)
        out += static_cast<char>(std::stoi(hex.substr(k, 2), nullptr, 16));
    return out;
}

std::string Hex(const unsigned char* data, int n) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (int k = 0; k < n; ++k) {
        s += digits[data[k] >> 4];
        s += digits[data[k] & 15];
    }
    return s;
}

const unsigned char* U8(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// RFC 6229: the key stream (RC4 over zeros) at offsets 0, 16 and 4096.
TEST(SecurityHandlerRC4, PublishedKeyStreams) {
    struct Case {
        const char* key;
        const char* at0;
        const char* at16;
        const char* at4096;
    };
    const Case cases[] = {
        {"0102030405", "b2396305f03dc027ccc3524a0a1118a8", "6982944f18fc82d589c403a47a0d0919",
         "ff25b58995996707e51fbdf08b34d875"},
        {"0102030405060708090a", "ede3b04643e586cc907dc21851709902",
         "03516ba78f413beb223aa5d4d2df6711", "08b6be45124a43e2eb77953f84dc8553"},
        {"0102030405060708090a0b0c0d0e0f10", "9ac7cc9a609d1ef7b2932899cde41b97",
         "5248c4959014126a6e8a84f11d1a9e1c", "a36a4c301ae8ac13610ccbc12256cacc"},
        {"c109163908ebe51debb46227c6cc8b37641910833222772a", "54b64e6b5a20b5e2ec84593dc7989da7",
         "c135eee237a85465ff97dc03924f45ce", "e4dd2e98d6960fae0b43545456743391"},
    };
    for (const Case& c : cases) {
        const std::string key = Bytes(c.key);
        unsigned char stream[4112] = {};
        arcfour_ctx rc4;
        arcfour_set_key(&rc4, key.size(), U8(key));
        // In uneven pieces: the state carries over from one call to the next.
        arcfour_crypt(&rc4, 7, stream, stream);
        arcfour_crypt(&rc4, 4105, stream + 7, stream + 7);
        EXPECT_EQ(Hex(stream, 16), c.at0) << c.key;
        EXPECT_EQ(Hex(stream + 16, 16), c.at16) << c.key;
        EXPECT_EQ(Hex(stream + 4096, 16), c.at4096) << c.key;
    }
}

// The entries of a file another implementation encrypted with the user
// password "user" and the owner password "owner" (R 2, 40 bits), and the
// document key it reports for them.
const char kO[] = "94e8094419662a774442fb072e3d9f19e9d130ec09a4d0061e78fe920f7ab62f";
const char kU[] = "66849026789b286c1b07f0aaf5ca4e7dc0ef5a47a18b9f3b88379c147e395005";
const char kId[] = "160aca2c93729aef27e6a3a00c61aab8";
const char kKey[] = "4d66e321e9";

TEST(SecurityHandlerKeys, DocumentKeyAndUOfAFileMadeElsewhere) {
    const std::string o = Bytes(kO), u = Bytes(kU), id = Bytes(kId);
    detail::SecurityEntries e{U8(o), 32, U8(u), 32, -4, U8(id), 16};
    unsigned char padded[32], key[5];
    detail::PadPassword("user", 4, padded);
    detail::DocumentKey(padded, e, key);
    EXPECT_EQ(Hex(key, 5), kKey);
    // U is the padding encrypted under the document key.
    unsigned char again[32];
    std::copy(detail::kPasswordPadding, detail::kPasswordPadding + 32, again);
    detail::Rc4(key, 5, again, 32);
    EXPECT_EQ(Hex(again, 32), kU);
}

// Files another implementation encrypted with the user password "user" and
// the owner password "owner", and the file keys it reports for them.
struct Made {
    const char* o;
    const char* u;
    const char* id;
    int r;
    const char* key;
};
const Made kR3 = {"0ba3835f88f90388e74e54584125ce142be0de24c6b0d37746e075b891756671",
                  "5345e5fd50d56663c66eb7ff285a90d40122456a91bae5134273a6db134c87c4",
                  "0dd9e56871f769800eeb25516f67524e", 3, "94fb7d569fd6cd93e1367d23da5e6985"};
const Made kR4 = {"0ba3835f88f90388e74e54584125ce142be0de24c6b0d37746e075b891756671",
                  "126fbc959b4b5361bafbf3b76477c4c80122456a91bae5134273a6db134c87c4",
                  "406eb9fc375c54b23711dacfdd7f6d20", 4, "46a12943614d235a08b4a8492b41deb4"};

TEST(SecurityHandlerKeys, RevisionsThreeAndFourFromFilesMadeElsewhere) {
    for (const Made& m : {kR3, kR4}) {
        const std::string o = Bytes(m.o), u = Bytes(m.u), id = Bytes(m.id);
        detail::SecurityEntries e{U8(o), 32, U8(u), 32, -4, U8(id), 16};
        e.r = m.r;
        e.keyLength = 16;
        unsigned char padded[32], key[16] = {};
        detail::PadPassword("user", 4, padded);
        EXPECT_TRUE(detail::CheckUserPadded(padded, e, key)) << m.r;
        EXPECT_EQ(Hex(key, 16), m.key);
        // The owner password gives the user password back, and so the key.
        std::fill(key, key + 16, 0);
        detail::PadPassword("owner", 5, padded);
        EXPECT_FALSE(detail::CheckUserPadded(padded, e, key));
        EXPECT_TRUE(detail::CheckOwnerPadded(padded, e, key)) << m.r;
        EXPECT_EQ(Hex(key, 16), m.key);
        detail::PadPassword("users", 5, padded);
        EXPECT_FALSE(detail::CheckUserPadded(padded, e, key));
        EXPECT_FALSE(detail::CheckOwnerPadded(padded, e, key));
        // Revision 4 leaving metadata clear hashes four more bytes: not
        // this file's key.
        if (m.r == 4) {
            e.encryptMetadata = false;
            detail::PadPassword("user", 4, padded);
            EXPECT_FALSE(detail::CheckUserPadded(padded, e, key));
        }
    }
}

TEST(SecurityHandlerKeys, RevisionSixFromAFileMadeElsewhere) {
    const std::string o = Bytes(
        "7fef0ead2c6cf0256538859b354e01d23285f70b32a4e2c3e0f6a67c97491dcfbd5e8f3ccb367e23411ef1395c"
        "5"
        "d4873");
    const std::string u = Bytes(
        "1cc99f6795453bc83c596472441ad9e40aa316cb560853eaf56e5b9be42dfb0317a7e0b309d3f6b3b7ab733448"
        "a"
        "542bc");
    const std::string oe =
        Bytes("f0cb474bc2251da4bdf399ec6be119b298502ffd50c9ca1aba8dc8148e495918");
    const std::string ue =
        Bytes("1a14206f288d175c78340fb5f702c87ff62207e2fa197dac4967594f606a14c7");
    const std::string perms = Bytes("b204ed94f183ce30e25b43703eb9ea2a");
    const char kKey[] = "31bbcd7c11e9e5b36eeb3b65704e5f4190504524ab792637b1cb904ebf28e06a";
    detail::SecurityEntries e{U8(o), 48, U8(u), 48, -4, nullptr, 0};
    e.r = 6;
    e.keyLength = 32;
    e.oe = U8(oe);
    e.ue = U8(ue);
    e.perms = U8(perms);
    unsigned char key[32] = {};
    EXPECT_TRUE(detail::CheckUserR6(U8(std::string("user")), 4, e, key));
    EXPECT_EQ(Hex(key, 32), kKey);
    EXPECT_TRUE(detail::PermsMatch(key, e));
    std::fill(key, key + 32, 0);
    EXPECT_FALSE(detail::CheckUserR6(U8(std::string("owner")), 5, e, key));
    EXPECT_TRUE(detail::CheckOwnerR6(U8(std::string("owner")), 5, e, key));
    EXPECT_EQ(Hex(key, 32), kKey);
    EXPECT_FALSE(detail::CheckOwnerR6(U8(std::string("user")), 4, e, key));
    // Perms checks P: another P is refused.
    e.p = -8;
    EXPECT_FALSE(detail::PermsMatch(key, e));
}

// The revision 6 hash ends on any input: its loop is bounded by the byte it
// tests, whatever the password and salt.
TEST(SecurityHandlerKeys, RevisionSixHashOnHostileInputEnds) {
    const std::string password(detail::kMaxPasswordR6, '\xff');
    const std::string salt(8, '\x00');
    const std::string userKey(48, '\xee');
    unsigned char a[32], b[32];
    detail::HashR6(U8(password), detail::kMaxPasswordR6, U8(salt), U8(userKey), true, a);
    detail::HashR6(U8(password), detail::kMaxPasswordR6, U8(salt), U8(userKey), true, b);
    EXPECT_EQ(Hex(a, 32), Hex(b, 32));
    detail::HashR6(U8(password), 0, U8(salt), nullptr, true, a);
}

// NIST SP 800-38A, F.2.1 and F.2.5: AES-128 and AES-256 in CBC mode (the same
// answers openssl gives).
TEST(SecurityHandlerAes, PublishedCbcVectors) {
    const std::string iv = Bytes("000102030405060708090a0b0c0d0e0f");
    const std::string plain =
        Bytes("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
    struct Case {
        const char* key;
        const char* cipher;
    };
    for (const Case& c :
         {Case{"2b7e151628aed2a6abf7158809cf4f3c",
               "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"},
          Case{"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
               "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"}}) {
        const std::string key = Bytes(c.key);
        std::string data = plain;
        auto* bytes = reinterpret_cast<unsigned char*>(data.data());
        // In two calls: the chain carries over.
        detail::AesCbc enc(U8(key), static_cast<int>(key.size()), true, U8(iv));
        enc.Process(bytes, 16);
        enc.Process(bytes + 16, 16);
        EXPECT_EQ(Hex(bytes, 32), c.cipher);
        detail::AesCbc(U8(key), static_cast<int>(key.size()), false, U8(iv)).Process(bytes, 32);
        EXPECT_EQ(data, plain);
    }
}

TEST(SecurityHandlerAes, DataWithIvAndPadding) {
    detail::CryptFilter f;
    f.method = detail::CryptMethod::AES;
    f.keyLength = 16;
    for (int k = 0; k < 16; ++k) f.key[k] = static_cast<unsigned char>(k * 7);
    const unsigned char iv[16] = {9, 9, 9};
    for (int n : {0, 1, 15, 16, 17, 100}) {
        const std::string plain(static_cast<size_t>(n), 'x');
        std::string out;
        detail::EncryptData(f, U8(plain), n, iv, out);
        // IV, the data and 1 to 16 bytes of padding.
        ASSERT_EQ(out.size(), 16u + (n / 16 + 1) * 16u) << n;
        EXPECT_EQ(out.substr(0, 16), std::string(reinterpret_cast<const char*>(iv), 16));
        EXPECT_EQ(detail::DecryptData(f, reinterpret_cast<unsigned char*>(out.data()),
                                      static_cast<int>(out.size())),
                  n);
        EXPECT_EQ(out.substr(0, static_cast<size_t>(n)), plain);
    }
    // Shorter than its IV, or not whole blocks.
    std::string bad(20, 'b');
    EXPECT_EQ(detail::DecryptData(f, reinterpret_cast<unsigned char*>(bad.data()), 20), -1);
    EXPECT_EQ(detail::DecryptData(f, reinterpret_cast<unsigned char*>(bad.data()), 8), -1);
}

TEST(SecurityHandlerKeys, PasswordsGetTheSimplePartOfSaslprep) {
    // No-break and ideographic spaces become spaces; a soft hyphen and a
    // zero-width space go; other text, and bytes that are no UTF-8, stay.
    EXPECT_EQ(detail::PreparePassword("a\xC2\xA0"
                                      "b\xE3\x80\x80"
                                      "c"),
              "a b c");
    EXPECT_EQ(detail::PreparePassword("pa\xC2\xADss\xE2\x80\x8Bword"), "password");
    EXPECT_EQ(detail::PreparePassword("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(detail::PreparePassword("\xFF\xC3x"), "\xFF\xC3x");
    EXPECT_EQ(detail::PreparePassword(""), "");
}

}  // namespace
}  // namespace corvina
