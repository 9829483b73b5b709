#pragma once

#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFAtom.h"

namespace corvina {

class CPDFObjHolder;
class InStream;
class OutStream;

namespace detail {
struct ObjectCrypt;
}

// How an encrypted document's indirect object is encrypted, or null.
using CryptKey = const detail::ObjectCrypt*;

// A direct PDF object.
class CORVINA_API CPDFObject : public CPDFAtom {
public:
    enum TypeCode {
        Bool = 1,
        Number = 2,
        Integer = 4,
        Real = 8,
        String = 16,
        Text = 32,
        Name = 64,
        Array = 128,
        Dictionary = 256,
        Stream = 512,
        Null = 1024,
    };

    ~CPDFObject() override = 0;

    virtual void Serialize(OutStream& out, CryptKey crypt) = 0;
    // A new independent copy owned by the caller, or null; never throws.
    virtual std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                                  CPDFObjHolder* srcDoc) const = 0;
    // Containers release the indirect objects they refer to.
    virtual bool Release(CPDFObjHolder* doc);
    // Containers renumber their references for linearized output.
    virtual bool Linearize(CPDFObjHolder* ctx);

    // Parses one object of any class at the current position, or returns null
    // when no object starts here. Never produces a CPDFObjRef, nor a stream:
    // streams are indirect objects, recognised by the indirect-object reader.
    static std::unique_ptr<CPDFObject> SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                       CryptKey crypt);

    int TypeCode() const { return typeCode_; }
    const char* TypeName() const { return typeName_; }
    bool Is(int code) const { return (typeCode_ & code) != 0; }
    bool IsParsed() const { return parsed_ != 0; }
    bool IsDuplicable() const { return duplicable_ != 0; }
    bool IsReleasable() const { return releasable_ != 0; }
    bool IsLinearizable() const { return linearizable_ != 0; }
    void SetParsed(bool v) { parsed_ = v; }
    void SetDuplicable(bool v) { duplicable_ = v; }
    void SetReleasable(bool v) { releasable_ = v; }
    void SetLinearizable(bool v) { linearizable_ = v; }
    // Every Duplicate copies the four flags first.
    void CopyFlags(const CPDFObject& from) {
        parsed_ = from.parsed_;
        duplicable_ = from.duplicable_;
        releasable_ = from.releasable_;
        linearizable_ = from.linearizable_;
    }

protected:
    CPDFObject(int typeCode, const char* typeName)
        : CPDFAtom(ObjectKind, "Object"), typeCode_(typeCode), typeName_(typeName) {}
    CPDFObject(const CPDFObject&) = default;
    CPDFObject& operator=(const CPDFObject&) = default;

    int typeCode_ = 0;
    const char* typeName_ = "";
    unsigned char parsed_ = 0;
    unsigned char duplicable_ = 1;
    unsigned char releasable_ = 1;
    unsigned char linearizable_ = 1;
};

inline CPDFObject::~CPDFObject() = default;

// Converts a held atom: null unless it is a direct object.
inline CPDFObject* AsObject(CPDFAtom* atom) {
    return atom && atom->Kind() == CPDFAtom::ObjectKind ? static_cast<CPDFObject*>(atom) : nullptr;
}
inline const CPDFObject* AsObject(const CPDFAtom* atom) {
    return atom && atom->Kind() == CPDFAtom::ObjectKind ? static_cast<const CPDFObject*>(atom)
                                                        : nullptr;
}

}  // namespace corvina
