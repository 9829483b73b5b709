#pragma once

namespace corvina {
class CPDFDoc;
class CPDFDict;
}  // namespace corvina

// What a document's signatures allow: a signed revision is covered byte for
// byte, so only an update appended after it keeps the signature valid, and a
// certification may forbid even that.
class CSignedDoc {
public:
    enum Verdict {
        Unsigned,   // no signature: any save
        Signed,     // a signature or /Perms: an incremental update only
        NoChanges,  // a certification that allows no change at all
    };
    // Looks at the catalog's Perms and at the form's signature fields, a
    // bounded number of them; a field that cannot be read counts as signed.
    static Verdict Of(corvina::CPDFDoc* doc, corvina::CPDFDict* catalog);
};
