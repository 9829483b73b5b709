#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFObject.h"

namespace corvina {

class CPDFXRef;

namespace detail {
struct DocumentCrypt;
}  // namespace detail

// What a running save needs of its document beyond the public interface. The
// document implements it privately and hands it to the writer it makes, so
// the writer reaches nothing else of the document's state.
class CORVINA_API DocSaveAccess {
public:
    // The object numbers a whole rewrite covers: the largest table read.
    virtual int32_t FullSize() const = 0;
    // Object number and offset of every cross-reference stream read or
    // written; a whole rewrite frees their numbers.
    virtual std::vector<std::pair<int32_t, int32_t>>& XRefStreams() = 0;
    // A whole rewrite: the working section, into which the others were
    // merged, is all that is left, without the old linearization's objects.
    virtual void KeepWorkingSectionOnly() = 0;
    // The key context of ref under key, in buf; null without a key and for
    // the encryption dictionary itself.
    virtual CryptKey KeyFor(const detail::DocumentCrypt* key, const CPDFObjRef& ref,
                            detail::ObjectCrypt* buf) const = 0;
    // Entries of the objects written early (ReleaseObj), and their end.
    virtual CPDFXRef* EarlyXRef() = 0;
    virtual void DropEarlyXRef() = 0;
    // Throws the document's report when the input changed since it was read.
    virtual void CheckInputUnchanged(const char* method) = 0;
    // Runs body as a public operation does: an exception becomes false with
    // the first error kept in the document's record.
    virtual bool Guard(const char* method, const std::function<bool()>& body) = 0;

protected:
    ~DocSaveAccess() = default;
};

}  // namespace corvina
