#pragma once

#include <memory>

#include "pdf/structure/CPDFNameTreeNode.h"
#include "tool/CNameMap.h"

// The one node of the Dests tree the job writes. Its Names array is written
// straight from the name map it owns, in the order of the keys' bytes, and is
// never built as objects: a tree of a million names costs the map, not a
// million key and reference objects more. It holds no other entries.
class CDestsNode : public corvina::CPDFNameTreeNode {
public:
    explicit CDestsNode(std::unique_ptr<CNameMap> names) : names_(std::move(names)) {}

    // "<<", "/Names [key ref key ref ...]", ">>", each key as the map keeps
    // it: what the same node holding a built array would write.
    void Serialize(corvina::OutStream& out, corvina::CryptKey crypt) override;

private:
    std::unique_ptr<CNameMap> names_;
};
