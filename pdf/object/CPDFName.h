#pragma once

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFObject.h"
#include "pdf/object/TempString.h"

namespace corvina {

// A name: its decoded bytes without the leading solidus.
class CORVINA_API CPDFName : public CPDFObject, public TempString<char> {
public:
    // The bytes; the type codes of CPDFObject share the name Text.
    using TempString<char>::Text;

    CPDFName() : CPDFObject(Name, "Name") {}
    explicit CPDFName(const char* text) : CPDFObject(Name, "Name"), TempString<char>(text) {}
    CPDFName(const char* data, int length)
        : CPDFObject(Name, "Name"), TempString<char>(data, length) {}
    CPDFName(const CPDFName& other) = default;
    CPDFName& operator=(const CPDFName& other) = default;
    // The text's buffer moves with it; other is left empty.
    CPDFName(CPDFName&& other) noexcept : CPDFObject(other) { TakeBuffer(other); }

    static std::unique_ptr<CPDFName> SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                     CryptKey crypt);
    void Serialize(CPDFObjHolder* doc, InStream& in, CryptKey crypt);
    // "/" and each byte through the name-byte table.
    void Serialize(OutStream& out, CryptKey crypt) override;
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder* dstDoc,
                                          CPDFObjHolder* srcDoc) const override;

    bool Equals(const char* text) const { return Compare(text) == 0; }
};

// True when obj is a name equal to text.
inline bool IsNameEqual(const CPDFObject* obj, const char* text) {
    return obj && obj->TypeCode() == CPDFObject::Name &&
           static_cast<const CPDFName*>(obj)->Equals(text);
}

}  // namespace corvina
