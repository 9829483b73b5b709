#pragma once

#include <memory>

#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"

namespace corvina {
class CPDFObjHolder;
class OutStream;
}  // namespace corvina

namespace corvina::detail {

// releaseFn of the containers: destroys the atom a slot holds.
void DeleteAtomSlot(CPDFAtom** slot);

// Clears the holder's last error, resets ref, and gives the object a member
// stands for: itself, or the holder's object for a reference (ref then holds
// the reference). Null without a holder, for absent objects and for atoms of
// other kinds.
CPDFObject* ResolveAtom(CPDFObjHolder* doc, CPDFAtom* atom, CPDFObjRef* ref);

// A new reference atom, or null when memory runs out.
std::unique_ptr<CPDFObjRef> NewRef(const CPDFObjRef& ref);

// One member of the release and linearize walks.
bool ReleaseAtom(CPDFObjHolder* doc, CPDFAtom* atom);
bool LinearizeAtom(CPDFObjHolder* ctx, CPDFAtom* atom);

// A member as the writers put it: references without a key context, direct
// objects with the container's; other atoms write nothing.
void WriteAtom(OutStream& out, CPDFAtom* atom, CryptKey crypt);

}  // namespace corvina::detail
