#include "pdf/file/SecurityHandler.h"

#include <md5.h>

#include <cstring>

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

[[noreturn]] void RaiseOpen(const char* factor) {
    throw CPDFException("CPDFDoc", "Open", CPDFException::UserError, factor);
}

const unsigned char* Bytes(const CPDFString* s) {
    return reinterpret_cast<const unsigned char*>(s->Text());
}

// The entries of a dictionary that passed the handler check; false when O,
// U or P are missing or of another type.
bool EntriesOf(CPDFEncryptDict& encrypt, const CPDFObject* firstId, SecurityEntries* out) {
    CPDFString* o = encrypt.Get_O();
    CPDFString* u = encrypt.Get_U();
    CPDFNumber* p = encrypt.Get_P();
    if (!o || !u || !p) return false;
    out->o = Bytes(o);
    out->oLength = o->Length();
    out->u = Bytes(u);
    out->uLength = u->Length();
    out->p = p->IntValue();
    // A first ID element that is no string adds nothing, as when ID is absent.
    if (const auto* id = dynamic_cast<const CPDFString*>(firstId)) {
        out->id = Bytes(id);
        out->idLength = id->Length();
    }
    return true;
}

}  // namespace

void PadPassword(const char* password, int length, unsigned char padded[kPaddedLength]) {
    const int n = password && length > 0 ? (length < kPaddedLength ? length : kPaddedLength) : 0;
    if (n > 0) std::memcpy(padded, password, n);
    std::memcpy(padded + n, kPasswordPadding, kPaddedLength - n);
}

void DocumentKey(const unsigned char padded[kPaddedLength], const SecurityEntries& entries,
                 unsigned char key[kDocKeyLength]) {
    MD5_CTX md5;
    uint8_t digest[MD5_DIGEST_LENGTH];
    MD5Init(&md5);
    MD5Update(&md5, padded, kPaddedLength);
    if (entries.oLength > 0) MD5Update(&md5, entries.o, entries.oLength);
    const uint32_t p = static_cast<uint32_t>(entries.p);
    const unsigned char pBytes[4] = {
        static_cast<unsigned char>(p & 0xFF), static_cast<unsigned char>((p >> 8) & 0xFF),
        static_cast<unsigned char>((p >> 16) & 0xFF), static_cast<unsigned char>(p >> 24)};
    MD5Update(&md5, pBytes, 4);
    if (entries.id && entries.idLength > 0) MD5Update(&md5, entries.id, entries.idLength);
    MD5Final(digest, &md5);
    std::memcpy(key, digest, kDocKeyLength);
}

bool CheckUserPadded(const unsigned char padded[kPaddedLength], const SecurityEntries& entries,
                     unsigned char key[kDocKeyLength]) {
    DocumentKey(padded, entries, key);
    if (entries.uLength != kPaddedLength) return false;
    unsigned char u[kPaddedLength];
    std::memcpy(u, entries.u, kPaddedLength);
    RC4(key, kDocKeyLength).Process(u, kPaddedLength);
    return std::memcmp(u, kPasswordPadding, kPaddedLength) == 0;
}

bool CheckOwnerPadded(const unsigned char padded[kPaddedLength], const SecurityEntries& entries,
                      unsigned char key[kDocKeyLength]) {
    if (entries.oLength != kPaddedLength) return false;
    MD5_CTX md5;
    uint8_t digest[MD5_DIGEST_LENGTH];
    MD5Init(&md5);
    MD5Update(&md5, padded, kPaddedLength);
    MD5Final(digest, &md5);
    unsigned char user[kPaddedLength];
    std::memcpy(user, entries.o, kPaddedLength);
    RC4(digest, kDocKeyLength).Process(user, kPaddedLength);
    return CheckUserPadded(user, entries, key);
}

bool CheckUserPassword(CPDFEncryptDict& encrypt, const CPDFObject* firstId, const char* password,
                       unsigned char key[kDocKeyLength]) {
    SecurityEntries entries;
    if (!password || !EntriesOf(encrypt, firstId, &entries)) return false;
    unsigned char padded[kPaddedLength];
    PadPassword(password, static_cast<int>(std::strlen(password)), padded);
    return CheckUserPadded(padded, entries, key);
}

bool CheckOwnerPassword(CPDFEncryptDict& encrypt, const CPDFObject* firstId, const char* password,
                        unsigned char key[kDocKeyLength]) {
    SecurityEntries entries;
    if (!password || !EntriesOf(encrypt, firstId, &entries)) return false;
    unsigned char padded[kPaddedLength];
    PadPassword(password, static_cast<int>(std::strlen(password)), padded);
    return CheckOwnerPadded(padded, entries, key);
}

CryptKey ObjectKeyContext(const unsigned char* key, const CPDFObjRef& ref,
                          unsigned char buf[kObjectKeyContextLength]) {
    if (!key) return nullptr;
    std::memcpy(buf, key, kDocKeyLength);
    const uint32_t num = static_cast<uint32_t>(ref.objNum);
    const uint32_t gen = static_cast<uint32_t>(ref.genNum);
    buf[5] = static_cast<unsigned char>(num & 0xFF);
    buf[6] = static_cast<unsigned char>((num >> 8) & 0xFF);
    buf[7] = static_cast<unsigned char>((num >> 16) & 0xFF);
    buf[8] = static_cast<unsigned char>(gen & 0xFF);
    buf[9] = static_cast<unsigned char>((gen >> 8) & 0xFF);
    return buf;
}

bool IsSupportedEncrypt(const CPDFDict* encrypt) {
    auto* typed = dynamic_cast<CPDFEncryptDict*>(const_cast<CPDFDict*>(encrypt));
    return typed && typed->IsSupportedHandler();
}

std::unique_ptr<unsigned char[]> UnlockDocument(CPDFObjHolder* doc, CPDFDict* encrypt,
                                                CPDFArray* id, const char* password) {
    if (!encrypt) return nullptr;
    auto* typed = dynamic_cast<CPDFEncryptDict*>(encrypt);
    if (!typed || !typed->IsSupportedHandler()) RaiseOpen(factor::kInvalidSecurityHandler);
    if (!password) RaiseOpen(factor::kEncryptedDocument);
    const CPDFObject* firstId = id && id->Count() > 0 ? id->GetObj(doc, 0) : nullptr;
    auto key = std::make_unique<unsigned char[]>(kDocKeyLength);
    // When both passwords are the same, the user check wins; the key is the
    // same either way.
    if (CheckUserPassword(*typed, firstId, password, key.get()) ||
        CheckOwnerPassword(*typed, firstId, password, key.get()))
        return key;
    RaiseOpen(factor::kIncorrectPassword);
}

}  // namespace corvina::detail
