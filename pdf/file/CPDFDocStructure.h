#pragma once

#include <cstdint>
#include <memory>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFObjRef.h"

namespace corvina {

class CPDFCatalog;
class CPDFDoc;
class CPDFInfoDict;
class CPDFObject;
class CPDFObjHolder;
class CPDFPage;

// What the document needs of the typed structures (catalog, page tree,
// information dictionary) without depending on them; pdf/structure fills it.
// The page operations throw CPDFException records of the document's own
// module and method, which the document's public boundary keeps as usual.
// Pointers returned stay owned by the document.
class CORVINA_API CPDFDocStructure {
public:
    virtual ~CPDFDocStructure() = default;

    // Open: the working trailer's Root typed as the catalog (a Root that is not
    // one is refused) and its Info as the information dictionary.
    virtual void TypeRootObjects(CPDFDoc& doc) = 0;
    // The typed view of an object, or null when it is not of that type.
    virtual CPDFCatalog* AsCatalog(CPDFObject* obj) const = 0;
    virtual CPDFInfoDict* AsInfoDict(CPDFObject* obj) const = 0;
    // An empty catalog for a new document; null on failure.
    virtual std::unique_ptr<CPDFObject> NewCatalog(CPDFObjHolder* doc) const = 0;

    virtual CPDFPage* GetPage(CPDFDoc& doc, int32_t index, CPDFObjRef* ref) = 0;
    virtual int32_t GetPageCount(CPDFDoc& doc) = 0;
    virtual void DeletePage(CPDFDoc& doc, int32_t position, int32_t count) = 0;

    // Stamps the information dictionary (made when missing) with the
    // producer and a creation or modification date from the document's clock.
    virtual bool StampInfo(CPDFDoc& doc) = 0;
};

// The typing every document uses; defined in pdf/structure.
CORVINA_API CPDFDocStructure& DocStructure();

}  // namespace corvina
