#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pdf/file/IndirectValue.h"
#include "pdf/io/MemInStream.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"

namespace corvina::testing {

// A parsed value that must be a plain number.
inline CPDFNumber* AsNumber(const std::unique_ptr<CPDFObject>& obj) {
    EXPECT_TRUE(obj && obj->TypeCode() == CPDFObject::Number);
    return static_cast<CPDFNumber*>(obj.get());
}

// Parses one object from text, as the document's object reader would.
inline std::unique_ptr<CPDFObject> ParseText(const std::string& text, CryptKey crypt = nullptr) {
    MemInStream in(text);
    return detail::ReadIndirectValue(nullptr, in, crypt);
}

// The exact bytes an object writes.
inline std::string WriteText(CPDFObject& obj, CryptKey crypt = nullptr) {
    MemOutStream out;
    obj.Serialize(out, crypt);
    return out.Data();
}

inline std::string WriteRef(const CPDFObjRef& ref) {
    MemOutStream out;
    ref.Serialize(out);
    return out.Data();
}

// Parse then write.
inline std::string Rewrite(const std::string& text) {
    auto obj = ParseText(text);
    if (!obj) return "<nothing>";
    return WriteText(*obj);
}

struct ErrorRecord {
    std::string module, method;
    int type = 0;
    std::string factor;
    bool operator==(const ErrorRecord&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const ErrorRecord& e) {
    return os << "{" << e.module << ", " << e.method << ", " << e.type << ", \"" << e.factor
              << "\"}";
}

// The record that parsing text raises, or an empty record.
inline ErrorRecord ParseError(const std::string& text) {
    try {
        ParseText(text);
    } catch (const CPDFException& e) {
        return {e.GetModule(), e.GetMethod(), e.GetType(), e.GetFactor()};
    }
    return {};
}

}  // namespace corvina::testing
