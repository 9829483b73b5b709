#pragma once

#include <memory>

#include "pdf/object/CPDFObject.h"

namespace corvina {
class CPDFObjHolder;
class InStream;
}  // namespace corvina

namespace corvina::detail {

// The value of an indirect object, between "num gen obj" and "endobj": one
// object of any class, or a stream when a word starting with "s" follows a
// dictionary there (the stream reader then takes the dictionary over and
// checks the word). Only here does a stream begin: streams are never direct
// objects. Null when no object starts here; throws what the readers throw.
std::unique_ptr<CPDFObject> ReadIndirectValue(CPDFObjHolder* holder, InStream& in, CryptKey crypt);

}  // namespace corvina::detail
