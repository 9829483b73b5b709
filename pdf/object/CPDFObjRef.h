#pragma once

// placeholder until the document model lands
namespace corvina {
class CPDFObjRef {
public:
    int objNum = -1, genNum = -1;
};
}  // namespace corvina
