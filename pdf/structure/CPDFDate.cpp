#include "pdf/structure/CPDFDate.h"

#include <cstdio>
#include <cstdlib>

#include "pdf/structure/StructType.h"

namespace corvina {

CPDFDate::CPDFDate() : CPDFDataStruct(detail::DateType) {}

bool CPDFDate::Recognize(CPDFObjHolder* /*doc*/, CPDFString* plain) {
    return plain && plain->Length() >= 2 && plain->Text()[0] == 'D' && plain->Text()[1] == ':';
}

bool CPDFDate::Load(CPDFObjHolder* doc, CPDFString* plain) {
    SetDoc(doc);
    SetLiteral(plain->IsLiteral());
    return Assign(plain->Text(), plain->Length());
}

void CPDFDate::SetNow(bool withZone) {
    SetTime(std::time(nullptr), withZone);
}

void CPDFDate::SetTime(std::time_t when, bool withZone) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[128];
    int n =
        std::snprintf(text, sizeof text, "D:%04d%02d%02d%02d%02d%02d", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    if (withZone && n > 0 && n < static_cast<int>(sizeof text)) {
        const long offset = local.tm_gmtoff;  // seconds east of universal time
        const char sign = offset > 0 ? '+' : offset < 0 ? '-' : 'Z';
        const long minutes = std::labs(offset) / 60;
        std::snprintf(text + n, sizeof text - n, "%c%02d'%02d'", sign,
                      static_cast<int>(minutes / 60), static_cast<int>(minutes % 60));
    }
    Assign(text);
}

std::unique_ptr<CPDFObject> CPDFDate::Duplicate(CPDFObjHolder* dstDoc,
                                                CPDFObjHolder* /*srcDoc*/) const {
    try {
        auto copy = std::make_unique<CPDFDate>();
        copy->CopyFlags(*this);
        copy->SetDoc(dstDoc);
        copy->SetLiteral(IsLiteral());
        if (!copy->Assign(Text(), Length())) return nullptr;
        return copy;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace corvina
