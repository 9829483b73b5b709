#include "tool/CDestsNode.h"

#include <string_view>

#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFString.h"

void CDestsNode::Serialize(corvina::OutStream& out, corvina::CryptKey crypt) {
    out.WriteText("<<");
    out.WriteEol();
    out.WriteText("/Names [");
    bool first = true;
    for (const CNameMap::Index i : names_->InKeyOrder()) {
        if (!first) out.WriteChar(' ');
        first = false;
        const std::string_view bytes = names_->Bytes(i);
        // One key at a time, written as a string of the document (encrypted
        // with the node's key where the document is).
        corvina::CPDFString key(bytes.data(), static_cast<int>(bytes.size()));
        key.SetLiteral(names_->IsLiteral(i));
        key.Serialize(out, crypt);
        out.WriteChar(' ');
        names_->Ref(i).Serialize(out);
    }
    out.WriteChar(']');
    out.WriteEol();
    out.WriteText(">>");
}
