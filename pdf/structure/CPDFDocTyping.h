#pragma once

#include "pdf/file/CPDFDocStructure.h"

namespace corvina {

// The document's view of its typed structures: the catalog and information
// dictionary typed at open, the page operations through the page tree, and the
// stamp of the information dictionary at save. Stateless; DocStructure() gives
// the one instance.
class CPDFDocTyping : public CPDFDocStructure {
public:
    void TypeRootObjects(CPDFDoc& doc) override;
    CPDFCatalog* AsCatalog(CPDFObject* obj) const override;
    CPDFInfoDict* AsInfoDict(CPDFObject* obj) const override;
    std::unique_ptr<CPDFObject> NewCatalog(CPDFObjHolder* doc) const override;
    CPDFPage* GetPage(CPDFDoc& doc, int32_t index, CPDFObjRef* ref) override;
    int32_t GetPageCount(CPDFDoc& doc) override;
    void DeletePage(CPDFDoc& doc, int32_t position, int32_t count) override;
    bool StampInfo(CPDFDoc& doc) override;
};

}  // namespace corvina
