#pragma once

#include <cstdint>
#include <memory>

#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"
#include "pdf/object/RC4.h"

namespace corvina {

class CPDFArray;
class CPDFDict;
class CPDFEncryptDict;
class CPDFObjHolder;

namespace detail {

// The standard security handler of revision 2: a 40-bit document key from a
// password, and from it one RC4 key context per object. The byte-level
// functions are pure, so published vectors and files made elsewhere can
// drive them; the cipher and the object key itself live with the strings
// that use them (pdf/object/RC4.h).

constexpr int kDocKeyLength = 5;
constexpr int kPaddedLength = 32;

// The fixed 32 bytes that pad every password.
extern const unsigned char kPasswordPadding[kPaddedLength];

// What of the encryption dictionary and the trailer enters the key. The
// pointers borrow; id is null when the trailer has no ID.
struct SecurityEntries {
    const unsigned char* o = nullptr;
    int oLength = 0;
    const unsigned char* u = nullptr;
    int uLength = 0;
    int32_t p = 0;
    const unsigned char* id = nullptr;
    int idLength = 0;
};

// The first 32 bytes of the password, filled up from the padding.
void PadPassword(const char* password, int length, unsigned char padded[kPaddedLength]);
// MD5 over the padded password, O, P (least significant byte first) and the
// first ID string; its first five bytes.
void DocumentKey(const unsigned char padded[kPaddedLength], const SecurityEntries& entries,
                 unsigned char key[kDocKeyLength]);
// True when the padded password is the user password; key gets the document
// key either way.
bool CheckUserPadded(const unsigned char padded[kPaddedLength], const SecurityEntries& entries,
                     unsigned char key[kDocKeyLength]);
// True when the padded password is the owner password: O decrypted under it
// is the padded user password, which then passes the user check.
bool CheckOwnerPadded(const unsigned char padded[kPaddedLength], const SecurityEntries& entries,
                      unsigned char key[kDocKeyLength]);

// The checks over a typed dictionary and the first ID string (null when
// there is none). A null password, or entries of the wrong type, are false.
bool CheckUserPassword(CPDFEncryptDict& encrypt, const CPDFObject* firstId, const char* password,
                       unsigned char key[kDocKeyLength]);
bool CheckOwnerPassword(CPDFEncryptDict& encrypt, const CPDFObject* firstId, const char* password,
                        unsigned char key[kDocKeyLength]);

// The 10-byte key context of one object: the document key, the low three
// bytes of its number and the low two of its generation, least significant
// first. Null (buf untouched) when there is no key.
CryptKey ObjectKeyContext(const unsigned char* key, const CPDFObjRef& ref,
                          unsigned char buf[kObjectKeyContextLength]);

// The Encrypt entry given, typed and of the one handler this library reads.
bool IsSupportedEncrypt(const CPDFDict* encrypt);

// Opening an encrypted document: null without an Encrypt entry; otherwise
// the document key of the password given, or a UserError of CPDFDoc::Open
// ("invalid security handler", "encrypted document", "incorrect password").
// An empty password is a password. Call it after the trailer's realization
// and before anything else is read, so that nothing read so far is
// decrypted.
std::unique_ptr<unsigned char[]> UnlockDocument(CPDFObjHolder* doc, CPDFDict* encrypt,
                                                CPDFArray* id, const char* password);

}  // namespace detail
}  // namespace corvina
