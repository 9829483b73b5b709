#include "pdf/file/SecurityHandler.h"

#include <nettle/md5.h>
#include <nettle/sha2.h>

#include <cstring>
#include <vector>

#include "pdf/file/CPDFEncryptDict.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFString.h"
#include "pdf/object/Factors.h"

namespace corvina::detail {

const unsigned char kPasswordPadding[kPaddedLength] = {
    0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E, 0x56, 0xFF, 0xFA, 0x01, 0x08,
    0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

namespace {

constexpr int kHashLength = 32;  // revisions 5 and 6: hashes and the file key
constexpr int kSaltLength = 8;
constexpr int kUserKeyLength = 48;  // the part of U the owner hash takes
constexpr int kMinKeyBits = 40;
constexpr int kMaxRc4KeyBits = 128;
constexpr int kMaxKeyBits = 256;
constexpr int kMaxR6Rounds = 64 + 256;  // the loop ends by round 288 at the latest

[[noreturn]] void RaiseOpen(const char* factor) {
    throw CPDFException("CPDFDoc", "Open", CPDFException::UserError, factor);
}
[[noreturn]] void RaiseEntry(const std::string& what) {
    throw CPDFException("CPDFDoc", "Open", CPDFException::InvalidFormat,
                        FormatFactor(factor::kInvalidEncryptEntry, what.c_str()).c_str());
}

const unsigned char* Bytes(const CPDFString* s) {
    return reinterpret_cast<const unsigned char*>(s->Text());
}

void Md5(const unsigned char* data, int length, unsigned char digest[MD5_DIGEST_SIZE]) {
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, length, data);
    md5_digest(&md5, MD5_DIGEST_SIZE, digest);
}

void Rc4Xor(const unsigned char* key, int length, int x, unsigned char* data, int n) {
    unsigned char k[kMaxCryptKey];
    for (int i = 0; i < length; ++i) k[i] = static_cast<unsigned char>(key[i] ^ x);
    Rc4(k, length, data, n);
}

// The method of a crypt filter named by StmF or StrF: Identity is none,
// any other name must stand in CF with a CFM this handler knows.
CryptMethod FilterMethod(CPDFEncryptDict& encrypt, CPDFObjHolder* doc, const CPDFName* name, int r,
                         std::string* shown) {
    if (!name || name->Equals("Identity")) {
        *shown = "Identity";
        return CryptMethod::None;
    }
    shown->assign(name->Text(), name->Length());
    CPDFDict* cf = encrypt.Get_CF();
    auto* filter = cf ? cf->GetAs<CPDFDict>(doc, shown->c_str()) : nullptr;
    if (!filter) RaiseEntry("crypt filter " + *shown + " missing");
    const CPDFName* cfm = filter->GetAs<CPDFName>(doc, "CFM");
    if (!cfm || cfm->Equals("None")) return CryptMethod::None;
    if (cfm->Equals("V2") && r <= 4) return CryptMethod::RC4;
    if (cfm->Equals("AESV2") && r == 4) return CryptMethod::AES;
    if (cfm->Equals("AESV3") && r >= 5) return CryptMethod::AES;
    RaiseEntry("CFM " + std::string(cfm->Text(), cfm->Length()));
}

// The entries of a dictionary that passed the handler check, within their
// bounds, and the handler's settings in crypt.
void ReadEntries(CPDFObjHolder* doc, CPDFEncryptDict& encrypt, const CPDFObject* firstId,
                 SecurityEntries* out, DocumentCrypt* crypt) {
    CPDFString* o = encrypt.Get_O();
    CPDFString* u = encrypt.Get_U();
    CPDFNumber* p = encrypt.Get_P();
    if (!o || !u || !p) RaiseOpen(factor::kInvalidSecurityHandler);
    crypt->r = encrypt.Get_R()->IntValue();
    crypt->v = encrypt.Get_V()->IntValue();
    out->r = crypt->r;
    out->o = Bytes(o);
    out->oLength = o->Length();
    out->u = Bytes(u);
    out->uLength = u->Length();
    out->p = crypt->permissions = p->IntValue();
    // A first ID element that is no string adds nothing, as when ID is absent.
    if (const auto* id = dynamic_cast<const CPDFString*>(firstId)) {
        out->id = Bytes(id);
        out->idLength = id->Length();
    }
    int bits = crypt->v == 1 ? kMinKeyBits : crypt->r >= 5 ? kMaxKeyBits : kMaxRc4KeyBits;
    if (CPDFNumber* length = encrypt.Get_Length()) {
        const int given = length->IntValue();
        if (given < kMinKeyBits || given > kMaxKeyBits || given % 8 != 0)
            RaiseEntry("Length " + std::to_string(given));
        if (crypt->v != 1 && crypt->r <= 4) {
            if (given > kMaxRc4KeyBits) RaiseEntry("Length " + std::to_string(given));
            bits = given;
        }
    }
    if (crypt->v == 2 || crypt->v == 3) bits = encrypt.Get_Length() ? bits : kMinKeyBits;
    crypt->keyLength = out->keyLength = bits / 8;
    if (crypt->v >= 4) {
        crypt->streams =
            FilterMethod(encrypt, doc, encrypt.Get_StmF(), crypt->r, &crypt->streamFilter);
        crypt->strings =
            FilterMethod(encrypt, doc, encrypt.Get_StrF(), crypt->r, &crypt->stringFilter);
        if (CPDFBool* meta = encrypt.Get_EncryptMetadata())
            crypt->encryptMetadata = out->encryptMetadata = meta->Value();
        // AES-128 takes a 16-byte key, whatever Length said.
        if (crypt->r == 4 &&
            (crypt->streams == CryptMethod::AES || crypt->strings == CryptMethod::AES))
            crypt->keyLength = out->keyLength = 16;
    } else {
        crypt->streamFilter = crypt->stringFilter = "";
    }
    if (crypt->r >= 5) {
        CPDFString* oe = encrypt.Get_OE();
        CPDFString* ue = encrypt.Get_UE();
        CPDFString* perms = encrypt.Get_Perms();
        if (!oe || oe->Length() < kHashLength) RaiseEntry("OE");
        if (!ue || ue->Length() < kHashLength) RaiseEntry("UE");
        if (!perms || perms->Length() < kAesBlock) RaiseEntry("Perms");
        out->oe = Bytes(oe);
        out->ue = Bytes(ue);
        out->perms = Bytes(perms);
    }
}

// The password tried as the user and then as the owner password; key gets
// the document key of the one that opens.
bool TryPassword(const char* password, const SecurityEntries& entries, DocumentCrypt* crypt,
                 bool* owner) {
    const int length = static_cast<int>(std::strlen(password));
    if (entries.r >= 5) {
        const auto* pw = reinterpret_cast<const unsigned char*>(password);
        const int used = length < kMaxPasswordR6 ? length : kMaxPasswordR6;
        unsigned char key[kHashLength];
        if (CheckUserR6(pw, used, entries, key)) {
            unsigned char again[kHashLength];
            *owner = length > 0 && CheckOwnerR6(pw, used, entries, again);
        } else if (CheckOwnerR6(pw, used, entries, key)) {
            *owner = true;
        } else {
            return false;
        }
        if (!PermsMatch(key, entries)) RaiseEntry("Perms");
        std::memcpy(crypt->key, key, kHashLength);
        return true;
    }
    unsigned char padded[kPaddedLength];
    PadPassword(password, length, padded);
    unsigned char key[kMaxCryptKey];
    if (CheckUserPadded(padded, entries, key)) {
        std::memcpy(crypt->key, key, entries.keyLength);
        // The same password may be the owner's too, which lifts the limits.
        unsigned char again[kMaxCryptKey];
        *owner = length > 0 && CheckOwnerPadded(padded, entries, again);
        return true;
    }
    if (CheckOwnerPadded(padded, entries, key)) {
        std::memcpy(crypt->key, key, entries.keyLength);
        *owner = true;
        return true;
    }
    return false;
}

}  // namespace

std::string PreparePassword(const char* utf8) {
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p) {
        // One UTF-8 sequence; anything that is not one is kept as it is.
        int n = *p < 0x80 ? 1 : (*p >> 5) == 6 ? 2 : (*p >> 4) == 14 ? 3 : (*p >> 3) == 30 ? 4 : 0;
        for (int k = 1; k < n; ++k)
            if ((p[k] & 0xC0) != 0x80) n = 0;
        if (n == 0) {
            out += static_cast<char>(*p++);
            continue;
        }
        uint32_t c = n == 1 ? *p : *p & (0x7F >> n);
        for (int k = 1; k < n; ++k) c = (c << 6) | (p[k] & 0x3F);
        const bool space = c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
                           c == 0x202F || c == 0x205F || c == 0x3000;
        const bool nothing = c == 0xAD || c == 0x34F || c == 0x1806 ||
                             (c >= 0x180B && c <= 0x180D) || (c >= 0x200B && c <= 0x200D) ||
                             c == 0x2060 || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF;
        if (space)
            out += ' ';
        else if (!nothing)
            out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
        p += n;
    }
    return out;
}

void PadPassword(const char* password, int length, unsigned char padded[kPaddedLength]) {
    const int n = password && length > 0 ? (length < kPaddedLength ? length : kPaddedLength) : 0;
    if (n > 0) std::memcpy(padded, password, n);
    std::memcpy(padded + n, kPasswordPadding, kPaddedLength - n);
}

void DocumentKey(const unsigned char padded[kPaddedLength], const SecurityEntries& entries,
                 unsigned char* key) {
    md5_ctx md5;
    unsigned char digest[MD5_DIGEST_SIZE];
    md5_init(&md5);
    md5_update(&md5, kPaddedLength, padded);
    // O enters with its 32 bytes, whatever a writer padded it to.
    if (entries.oLength > 0)
        md5_update(&md5, entries.oLength < kPaddedLength ? entries.oLength : kPaddedLength,
                   entries.o);
    const uint32_t p = static_cast<uint32_t>(entries.p);
    const unsigned char pBytes[4] = {
        static_cast<unsigned char>(p & 0xFF), static_cast<unsigned char>((p >> 8) & 0xFF),
        static_cast<unsigned char>((p >> 16) & 0xFF), static_cast<unsigned char>(p >> 24)};
    md5_update(&md5, 4, pBytes);
    if (entries.id && entries.idLength > 0) md5_update(&md5, entries.idLength, entries.id);
    if (entries.r >= 4 && !entries.encryptMetadata) {
        const unsigned char ff[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        md5_update(&md5, 4, ff);
    }
    md5_digest(&md5, MD5_DIGEST_SIZE, digest);
    const int n = entries.keyLength;
    if (entries.r >= 3)
        for (int k = 0; k < 50; ++k) Md5(digest, n, digest);
    std::memcpy(key, digest, n);
}

bool CheckUserPadded(const unsigned char padded[kPaddedLength], const SecurityEntries& entries,
                     unsigned char* key) {
    DocumentKey(padded, entries, key);
    if (entries.uLength < kPaddedLength) return false;
    const int n = entries.keyLength;
    if (entries.r == 2) {
        unsigned char u[kPaddedLength];
        std::memcpy(u, entries.u, kPaddedLength);
        Rc4(key, n, u, kPaddedLength);
        return std::memcmp(u, kPasswordPadding, kPaddedLength) == 0;
    }
    // From revision 3: MD5 of the padding and the ID, encrypted 20 times;
    // only its 16 bytes are compared.
    md5_ctx md5;
    unsigned char x[MD5_DIGEST_SIZE];
    md5_init(&md5);
    md5_update(&md5, kPaddedLength, kPasswordPadding);
    if (entries.id && entries.idLength > 0) md5_update(&md5, entries.idLength, entries.id);
    md5_digest(&md5, MD5_DIGEST_SIZE, x);
    for (int round = 0; round < 20; ++round) Rc4Xor(key, n, round, x, MD5_DIGEST_SIZE);
    return std::memcmp(x, entries.u, MD5_DIGEST_SIZE) == 0;
}

bool CheckOwnerPadded(const unsigned char padded[kPaddedLength], const SecurityEntries& entries,
                      unsigned char* key) {
    if (entries.oLength < kPaddedLength) return false;
    unsigned char digest[MD5_DIGEST_SIZE];
    Md5(padded, kPaddedLength, digest);
    if (entries.r >= 3)
        for (int k = 0; k < 50; ++k) Md5(digest, MD5_DIGEST_SIZE, digest);
    unsigned char user[kPaddedLength];
    std::memcpy(user, entries.o, kPaddedLength);
    const int n = entries.keyLength;
    if (entries.r == 2) {
        Rc4(digest, n, user, kPaddedLength);
    } else {
        for (int round = 19; round >= 0; --round) Rc4Xor(digest, n, round, user, kPaddedLength);
    }
    return CheckUserPadded(user, entries, key);
}

void HashR6(const unsigned char* password, int length, const unsigned char* salt,
            const unsigned char* userKey, bool r6, unsigned char hash[32]) {
    const int extra = userKey ? kUserKeyLength : 0;
    sha256_ctx sha;
    sha256_init(&sha);
    sha256_update(&sha, length, password);
    sha256_update(&sha, kSaltLength, salt);
    if (extra) sha256_update(&sha, extra, userKey);
    unsigned char k[SHA512_DIGEST_SIZE];
    sha256_digest(&sha, SHA256_DIGEST_SIZE, k);
    if (!r6) {
        std::memcpy(hash, k, kHashLength);
        return;
    }
    int kLength = SHA256_DIGEST_SIZE;
    std::vector<unsigned char> k1;
    for (int round = 0; round < kMaxR6Rounds; ++round) {
        // 64 copies of password, K and the user key; whole AES blocks, as
        // every part is a multiple of 16 bytes long taken 64 times.
        const int part = length + kLength + extra;
        k1.resize(static_cast<size_t>(part) * 64);
        for (int copy = 0; copy < 64; ++copy) {
            unsigned char* at = k1.data() + static_cast<size_t>(part) * copy;
            std::memcpy(at, password, length);
            std::memcpy(at + length, k, kLength);
            if (extra) std::memcpy(at + length + kLength, userKey, extra);
        }
        AesCbc(k, 16, true, k + 16).Process(k1.data(), static_cast<int>(k1.size()));
        int sum = 0;
        for (int b = 0; b < 16; ++b) sum += k1[b];
        const size_t size = k1.size();
        switch (sum % 3) {
            case 0: {
                sha256_ctx h;
                sha256_init(&h);
                sha256_update(&h, size, k1.data());
                sha256_digest(&h, SHA256_DIGEST_SIZE, k);
                kLength = SHA256_DIGEST_SIZE;
                break;
            }
            case 1: {
                sha384_ctx h;
                sha384_init(&h);
                sha384_update(&h, size, k1.data());
                sha384_digest(&h, SHA384_DIGEST_SIZE, k);
                kLength = SHA384_DIGEST_SIZE;
                break;
            }
            default: {
                sha512_ctx h;
                sha512_init(&h);
                sha512_update(&h, size, k1.data());
                sha512_digest(&h, SHA512_DIGEST_SIZE, k);
                kLength = SHA512_DIGEST_SIZE;
                break;
            }
        }
        if (round >= 63 && k1[size - 1] <= round - 31) break;
    }
    std::memcpy(hash, k, kHashLength);
}

bool CheckUserR6(const unsigned char* password, int length, const SecurityEntries& entries,
                 unsigned char key[32]) {
    if (entries.uLength < kUserKeyLength || !entries.ue) return false;
    const bool r6 = entries.r >= 6;
    unsigned char hash[kHashLength];
    HashR6(password, length, entries.u + kHashLength, nullptr, r6, hash);
    if (std::memcmp(hash, entries.u, kHashLength) != 0) return false;
    HashR6(password, length, entries.u + kHashLength + kSaltLength, nullptr, r6, hash);
    const unsigned char zero[kAesBlock] = {};
    std::memcpy(key, entries.ue, kHashLength);
    AesCbc(hash, kHashLength, false, zero).Process(key, kHashLength);
    return true;
}

bool CheckOwnerR6(const unsigned char* password, int length, const SecurityEntries& entries,
                  unsigned char key[32]) {
    if (entries.oLength < kUserKeyLength || entries.uLength < kUserKeyLength || !entries.oe)
        return false;
    const bool r6 = entries.r >= 6;
    unsigned char hash[kHashLength];
    HashR6(password, length, entries.o + kHashLength, entries.u, r6, hash);
    if (std::memcmp(hash, entries.o, kHashLength) != 0) return false;
    HashR6(password, length, entries.o + kHashLength + kSaltLength, entries.u, r6, hash);
    const unsigned char zero[kAesBlock] = {};
    std::memcpy(key, entries.oe, kHashLength);
    AesCbc(hash, kHashLength, false, zero).Process(key, kHashLength);
    return true;
}

bool PermsMatch(const unsigned char key[32], const SecurityEntries& entries) {
    if (!entries.perms) return false;
    unsigned char perms[kAesBlock];
    std::memcpy(perms, entries.perms, kAesBlock);
    const unsigned char zero[kAesBlock] = {};
    // One block in CBC with a zero IV is the ECB the entry is made with.
    AesCbc(key, kHashLength, false, zero).Process(perms, kAesBlock);
    const uint32_t p = static_cast<uint32_t>(entries.p);
    for (int b = 0; b < 4; ++b)
        if (perms[b] != static_cast<unsigned char>((p >> (8 * b)) & 0xFF)) return false;
    return perms[9] == 'a' && perms[10] == 'd' && perms[11] == 'b';
}

void ObjectCryptFor(const DocumentCrypt& crypt, const CPDFObjRef& ref, ObjectCrypt* out) {
    out->encryptMetadata = crypt.encryptMetadata;
    out->objNum = ref.objNum;
    out->genNum = ref.genNum;
    auto derive = [&](CryptMethod method, CryptFilter* filter) {
        filter->method = method;
        if (method == CryptMethod::None) {
            filter->keyLength = 0;
            return;
        }
        if (crypt.r >= 5) {
            filter->keyLength = kHashLength;
            std::memcpy(filter->key, crypt.key, kHashLength);
            return;
        }
        const int n = crypt.keyLength;
        unsigned char buf[kMaxCryptKey + 9];
        std::memcpy(buf, crypt.key, n);
        const uint32_t num = static_cast<uint32_t>(ref.objNum);
        const uint32_t gen = static_cast<uint32_t>(ref.genNum);
        buf[n] = static_cast<unsigned char>(num & 0xFF);
        buf[n + 1] = static_cast<unsigned char>((num >> 8) & 0xFF);
        buf[n + 2] = static_cast<unsigned char>((num >> 16) & 0xFF);
        buf[n + 3] = static_cast<unsigned char>(gen & 0xFF);
        buf[n + 4] = static_cast<unsigned char>((gen >> 8) & 0xFF);
        int used = n + 5;
        if (method == CryptMethod::AES) {
            std::memcpy(buf + used, "sAlT", 4);
            used += 4;
        }
        unsigned char digest[MD5_DIGEST_SIZE];
        Md5(buf, used, digest);
        filter->keyLength = n + 5 < MD5_DIGEST_SIZE ? n + 5 : MD5_DIGEST_SIZE;
        std::memcpy(filter->key, digest, filter->keyLength);
    };
    derive(crypt.strings, &out->strings);
    if (crypt.streams == crypt.strings)
        out->streams = out->strings;
    else
        derive(crypt.streams, &out->streams);
}

bool IsSupportedEncrypt(const CPDFDict* encrypt) {
    auto* typed = dynamic_cast<CPDFEncryptDict*>(const_cast<CPDFDict*>(encrypt));
    return typed && typed->IsSupportedHandler();
}

std::unique_ptr<DocumentCrypt> UnlockDocument(CPDFObjHolder* doc, CPDFDict* encrypt, CPDFArray* id,
                                              const char* password) {
    if (!encrypt) return nullptr;
    auto* typed = dynamic_cast<CPDFEncryptDict*>(encrypt);
    if (!typed || !typed->IsSupportedHandler()) RaiseOpen(factor::kInvalidSecurityHandler);
    const CPDFObject* firstId = id && id->Count() > 0 ? id->GetObj(doc, 0) : nullptr;
    auto crypt = std::make_unique<DocumentCrypt>();
    SecurityEntries entries;
    ReadEntries(doc, *typed, firstId, &entries, crypt.get());
    // Without a password the empty user password is tried, as readers do:
    // most protected files need nothing more.
    const char* given = password ? password : "";
    if (TryPassword(given, entries, crypt.get(), &crypt->owner)) return crypt;
    // Revisions 5 and 6 take passwords through SASLprep; the simple part of
    // it is tried when the bytes as given fail.
    if (crypt->r >= 5) {
        const std::string prepared = PreparePassword(given);
        if (prepared != given && TryPassword(prepared.c_str(), entries, crypt.get(), &crypt->owner))
            return crypt;
    }
    RaiseOpen(password ? factor::kIncorrectPassword : factor::kPasswordNeeded);
}

}  // namespace corvina::detail
