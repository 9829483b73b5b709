#pragma once

// placeholder until the document model lands
namespace corvina {
class CPDFLib {
public:
    virtual ~CPDFLib() = default;
};
}  // namespace corvina
