#include "pdf/file/SecurityHandler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pdf/file/CPDFEncryptDict.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFString.h"
#include "pdf/object/RC4.h"

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
        detail::RC4 rc4(U8(key), static_cast<int>(key.size()));
        // In uneven pieces: the state carries over from one call to the next.
        rc4.Process(stream, 7);
        rc4.Process(stream + 7, 4105);
        EXPECT_EQ(Hex(stream, 16), c.at0) << c.key;
        EXPECT_EQ(Hex(stream + 16, 16), c.at16) << c.key;
        EXPECT_EQ(Hex(stream + 4096, 16), c.at4096) << c.key;
    }
}

TEST(SecurityHandlerKeys, PaddingTakesTheFirst32Bytes) {
    unsigned char padded[32];
    detail::PadPassword("", 0, padded);
    EXPECT_EQ(Hex(padded, 32), Hex(detail::kPasswordPadding, 32));
    detail::PadPassword("ab", 2, padded);
    EXPECT_EQ(Hex(padded, 32), "6162" + Hex(detail::kPasswordPadding, 30));
    const std::string longer(40, 'x');
    detail::PadPassword(longer.c_str(), 40, padded);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(padded), 32), std::string(32, 'x'));
}

TEST(SecurityHandlerKeys, ObjectKeyContextIsLeastSignificantFirst) {
    const unsigned char key[5] = {1, 2, 3, 4, 5};
    unsigned char buf[10];
    ASSERT_EQ(detail::ObjectKeyContext(key, CPDFObjRef(0x12345678, 0x9ABC), buf), buf);
    EXPECT_EQ(Hex(buf, 10), "0102030405785634bc9a");
    EXPECT_EQ(detail::ObjectKeyContext(nullptr, CPDFObjRef(1, 0), buf), nullptr);
}

// The entries of a file another implementation encrypted with the user
// password "user" and the owner password "owner" (R 2, 40 bits), and the
// document key it reports for them.
const char kO[] = "94e8094419662a774442fb072e3d9f19e9d130ec09a4d0061e78fe920f7ab62f";
const char kU[] = "66849026789b286c1b07f0aaf5ca4e7dc0ef5a47a18b9f3b88379c147e395005";
const char kId[] = "160aca2c93729aef27e6a3a00c61aab8";
const char kKey[] = "4d66e321e9";

std::unique_ptr<CPDFEncryptDict> Dict(const std::string& o, const std::string& u) {
    auto plain = std::make_unique<CPDFDict>();
    plain->Insert("Filter", std::make_unique<CPDFName>("Standard"));
    plain->Insert("V", std::make_unique<CPDFNumber>(1));
    plain->Insert("R", std::make_unique<CPDFNumber>(2));
    plain->Insert("O", std::make_unique<CPDFString>(o.data(), static_cast<int>(o.size())));
    plain->Insert("U", std::make_unique<CPDFString>(u.data(), static_cast<int>(u.size())));
    plain->Insert("P", std::make_unique<CPDFNumber>(-4));
    auto typed = std::make_unique<CPDFEncryptDict>();
    typed->Load(nullptr, plain.get());
    return typed;
}

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
    detail::RC4(key, 5).Process(again, 32);
    EXPECT_EQ(Hex(again, 32), kU);
}

TEST(SecurityHandlerKeys, PasswordChecks) {
    auto dict = Dict(Bytes(kO), Bytes(kU));
    const std::string idBytes = Bytes(kId);
    CPDFString id(idBytes.data(), 16);
    struct Case {
        const char* password;
        bool user, owner;
    };
    for (const Case& c :
         {Case{"user", true, false}, Case{"owner", false, true}, Case{"", false, false},
          Case{"use", false, false}, Case{nullptr, false, false}}) {
        unsigned char key[5] = {};
        const std::string label = c.password ? c.password : "(none)";
        EXPECT_EQ(detail::CheckUserPassword(*dict, &id, c.password, key), c.user) << label;
        if (c.user) {
            EXPECT_EQ(Hex(key, 5), kKey) << label;
        }
        EXPECT_EQ(detail::CheckOwnerPassword(*dict, &id, c.password, key), c.owner) << label;
        if (c.owner) {
            EXPECT_EQ(Hex(key, 5), kKey) << label;
        }
    }
    // The ID enters the key: without it nothing matches.
    unsigned char key[5];
    EXPECT_FALSE(detail::CheckUserPassword(*dict, nullptr, "user", key));
}

struct Failure {
    std::string factor;
};

Failure Unlock(CPDFDict* encrypt, const char* password) {
    const std::string idBytes = Bytes(kId);
    CPDFArray id;
    id.Push_Back(std::make_unique<CPDFString>(idBytes.data(), 16));
    try {
        auto key = detail::UnlockDocument(nullptr, encrypt, &id, password);
        return {key ? Hex(key.get(), 5) : "no key"};
    } catch (const CPDFException& e) {
        EXPECT_STREQ(e.GetModule(), "CPDFDoc");
        EXPECT_STREQ(e.GetMethod(), "Open");
        EXPECT_EQ(e.GetType(), CPDFException::UserError);
        return {e.GetFactor()};
    }
}

TEST(SecurityHandlerKeys, UnlockingFollowsTheOpeningSteps) {
    auto good = Dict(Bytes(kO), Bytes(kU));
    auto shortO = Dict(Bytes(kO).substr(0, 31), Bytes(kU));
    auto r3 = Dict(Bytes(kO), Bytes(kU));
    r3->Insert("R", std::make_unique<CPDFNumber>(3));
    auto v2 = Dict(Bytes(kO), Bytes(kU));
    v2->Insert("V", std::make_unique<CPDFNumber>(2));
    CPDFDict plain;  // did not type
    struct Case {
        CPDFDict* dict;
        const char* password;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, "no key"},
        {good.get(), "user", kKey},
        {good.get(), "owner", kKey},
        {good.get(), nullptr, "encrypted document"},
        {good.get(), "", "incorrect password"},
        {good.get(), "wrong", "incorrect password"},
        {shortO.get(), "user", "invalid security handler"},
        {r3.get(), "user", "invalid security handler"},
        {v2.get(), "user", "invalid security handler"},
        {&plain, "user", "invalid security handler"},
        // The handler is checked before the password is asked for.
        {r3.get(), nullptr, "invalid security handler"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Unlock(c.dict, c.password).factor, c.expected)
            << (c.password ? c.password : "(none)");
}

}  // namespace
}  // namespace corvina
