#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"
#include "pdf/object/ObjectCrypt.h"

namespace corvina {

class CPDFArray;
class CPDFDict;
class CPDFEncryptDict;
class CPDFObjHolder;

namespace detail {

// The standard security handler, revisions 2 to 6: a document key from a
// password (MD5 and RC4 for 2 to 4, SHA-2 and AES-256 for 5 and 6), and from
// it the key of each object's strings and streams. The byte-level functions
// are pure, so published vectors and files made elsewhere can drive them;
// every hash and cipher is nettle's.

constexpr int kDocKeyLength = 5;  // revision 2
constexpr int kPaddedLength = 32;
constexpr int kMaxPasswordR6 = 127;  // bytes of a revision 5/6 password used

// The fixed 32 bytes that pad every password of revisions 2 to 4.
extern const unsigned char kPasswordPadding[kPaddedLength];

// What of the encryption dictionary and the trailer enters the key. The
// pointers borrow; id is null when the trailer has no ID. The defaults are
// those of revision 2.
struct SecurityEntries {
    const unsigned char* o = nullptr;
    int oLength = 0;
    const unsigned char* u = nullptr;
    int uLength = 0;
    int32_t p = 0;
    const unsigned char* id = nullptr;
    int idLength = 0;
    int r = 2;
    int keyLength = kDocKeyLength;  // bytes, 5 to 16
    bool encryptMetadata = true;
    // Revisions 5 and 6: 32 bytes each (the user and owner key, encrypted)
    // and 16 (the permissions, encrypted); null before.
    const unsigned char* ue = nullptr;
    const unsigned char* oe = nullptr;
    const unsigned char* perms = nullptr;
};

// An opened document's handler: its key and how objects use it.
struct DocumentCrypt {
    int v = 1;
    int r = 2;
    int keyLength = kDocKeyLength;
    unsigned char key[kMaxCryptKey] = {};
    CryptMethod strings = CryptMethod::RC4;
    CryptMethod streams = CryptMethod::RC4;
    std::string stringFilter = "StdCF";  // the crypt filter names, for show
    std::string streamFilter = "StdCF";
    bool encryptMetadata = true;
    bool owner = false;  // opened with the owner password
    int32_t permissions = 0;
};

// The simple part of SASLprep over a UTF-8 password: spaces other than
// U+0020 become U+0020 and the characters mapped to nothing (soft hyphen,
// zero-width joiners and spaces, variation selectors, byte order mark) go.
// No case folding, normalisation (NFKC) or prohibition checks.
std::string PreparePassword(const char* utf8);

// The first 32 bytes of the password, filled up from the padding.
void PadPassword(const char* password, int length, unsigned char padded[kPaddedLength]);
// Revisions 2 to 4: MD5 over the padded password, O, P (least significant
// byte first), the first ID string and, for 4 without metadata encryption,
// four 0xFF; from revision 3 on hashed 50 times more. keyLength bytes.
void DocumentKey(const unsigned char padded[kPaddedLength], const SecurityEntries& entries,
                 unsigned char* key);
// True when the padded password is the user password; key gets the document
// key either way.
bool CheckUserPadded(const unsigned char padded[kPaddedLength], const SecurityEntries& entries,
                     unsigned char* key);
// True when the padded password is the owner password: O decrypted under it
// is the padded user password, which then passes the user check.
bool CheckOwnerPadded(const unsigned char padded[kPaddedLength], const SecurityEntries& entries,
                      unsigned char* key);

// Revision 6's hash of a password (at most 127 bytes) with an 8-byte salt
// and, for the owner, the 48 bytes of U; revision 5's is one SHA-256.
void HashR6(const unsigned char* password, int length, const unsigned char* salt,
            const unsigned char* userKey, bool r6, unsigned char hash[32]);
// Revisions 5 and 6: true when password is the user (owner) password; key
// gets the 32-byte file key.
bool CheckUserR6(const unsigned char* password, int length, const SecurityEntries& entries,
                 unsigned char key[32]);
bool CheckOwnerR6(const unsigned char* password, int length, const SecurityEntries& entries,
                  unsigned char key[32]);
// Perms decrypted with the file key says P and the metadata choice.
bool PermsMatch(const unsigned char key[32], const SecurityEntries& entries);

// How the object ref's strings and streams are encrypted under crypt.
void ObjectCryptFor(const DocumentCrypt& crypt, const CPDFObjRef& ref, ObjectCrypt* out);

// The Encrypt entry given, typed and of a handler this library reads.
bool IsSupportedEncrypt(const CPDFDict* encrypt);

// Opening an encrypted document: null without an Encrypt entry; otherwise
// the handler opened with the password given (null: the empty user
// password), tried as the user and then as the owner password. Refusals are
// UserErrors of CPDFDoc::Open ("invalid security handler", "encrypted
// document: a password is needed", "incorrect password"); entries out of
// their bounds are InvalidFormat. Call it after the trailer's realization
// and before anything else is read, so that nothing read so far is
// decrypted.
std::unique_ptr<DocumentCrypt> UnlockDocument(CPDFObjHolder* doc, CPDFDict* encrypt, CPDFArray* id,
                                              const char* password);

}  // namespace detail
}  // namespace corvina
