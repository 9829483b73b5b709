#include "pdf/file/SecurityHandler.h"

#include <gtest/gtest.h>

#include <string>

#include <nettle/arcfour.h>

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

}  // namespace
}  // namespace corvina
