#pragma once

#include <functional>
#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"

namespace corvina {

class CPDFDict;
class InStream;

// What objects need from whatever keeps the indirect objects they refer to
// (the document): resolving, registering and dropping objects by reference,
// the error record, the source file, and the renumbering of a linearized
// save. Containers, streams and typed structures only borrow a holder (it
// outlives the objects it holds); none of them owns or deletes one. Each of
// them accepts a null holder: references then resolve to nothing, nothing
// can be registered, and stream data left in a file cannot be read.
//
// Objects given out by a holder stay owned by it; RegistObj takes the object
// in all cases.
class CORVINA_API CPDFObjHolder {
public:
    CPDFObjHolder(const CPDFObjHolder&) = delete;
    CPDFObjHolder& operator=(const CPDFObjHolder&) = delete;

    // The object behind ref, read on first use; null when it is free, absent
    // or unreadable (the error record says which).
    virtual CPDFObject* GetObj(const CPDFObjRef& ref) = 0;
    // The object behind ref without keeping what is read for it: one loaded
    // already, else one read from the input into *loaded; null when there is
    // none. Safe while a save writes the objects out.
    virtual CPDFObject* PeekObj(const CPDFObjRef& ref, std::unique_ptr<CPDFObject>* loaded) = 0;
    // A set ref replaces that object; otherwise a new number is given and
    // written to ref.
    virtual bool RegistObj(std::unique_ptr<CPDFObject> obj, CPDFObjRef* ref) = 0;
    // Moves the object into the changes the next save writes.
    virtual bool UpdateObj(const CPDFObjRef& ref) = 0;
    // Destroys the object and frees its number.
    virtual void RemoveObj(const CPDFObjRef& ref) = 0;
    // Drops a loaded object from memory (written out first while a save
    // runs); unless force, only objects that allow it.
    virtual bool ReleaseObj(const CPDFObjRef& ref, bool force) = 0;

    // Reads the dictionary object ref from the input and hands the members of
    // its array under key to fn as they are read, without keeping them or
    // the object (CPDFDict::Serialize with a streamed key): a name tree leaf
    // of a million pairs passes through and is never held whole. Null, with
    // nothing handed out, when the object cannot be read that way (it is
    // loaded or changed already, kept in an object stream, or no dictionary);
    // the caller then loads it as usual. A failed read (fn's false included)
    // also gives null, after members may have been handed out, and sets
    // *failed.
    // A holder without a file of its own streams nothing.
    virtual std::unique_ptr<CPDFDict> StreamDict(
        const CPDFObjRef& ref, const char* key,
        const std::function<bool(std::unique_ptr<CPDFAtom>)>& fn, bool* failed);

    // Cleared on entry by every public operation of the holder and of the
    // objects that call it; keeps the first error met.
    virtual CPDFException& GetLastError() = 0;

    // The input the holder reads its objects from, or null; still owned by
    // the holder. A stream whose data lies there defers reading it.
    virtual InStream* GetInput() const = 0;
    // Path of that input's file; null when the holder stands for no file.
    virtual const char* GetFilePath() const = 0;
    // True while a save writes the objects out (the objects must not load
    // more objects then).
    virtual bool IsFlushing() const = 0;
    // The holder stands for a forms data file: no page tree, and a catalog
    // without a typed form.
    virtual bool IsFDF() const = 0;

    // Renumbering for linearized output: the new reference of an object
    // already renumbered, and the renumbering of one object's subtree.
    virtual bool FindLinearRef(const CPDFObjRef& from, CPDFObjRef* to) const = 0;
    virtual bool LinearizeObj(const CPDFObjRef& ref) = 0;

protected:
    CPDFObjHolder() = default;
    // Nobody deletes a holder through this interface.
    virtual ~CPDFObjHolder() = default;
};

}  // namespace corvina
