#include "pdf/stream/ImageKeys.h"

#include <cstring>

#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNumber.h"

namespace corvina::detail {

CPDFObject* ImageValue(FilterData& data, const char* key) {
    return data.dict.GetObj(data.doc, key);
}

bool ImageInt(FilterData& data, const char* key, int32_t* value) {
    CPDFObject* obj = ImageValue(data, key);
    if (!obj || !obj->Is(CPDFObject::Number | CPDFObject::Integer | CPDFObject::Real)) return false;
    *value = static_cast<CPDFNumber*>(obj)->IntValue();
    return true;
}

namespace {

int ByName(const char* name) {
    static const struct {
        const char* name;
        int components;
    } kSpaces[] = {{"DeviceGray", 1}, {"DeviceRGB", 3}, {"DeviceCMYK", 4}, {"CalGray", 1},
                   {"CalRGB", 3},     {"Lab", 3},       {"Separation", 1}, {"Indexed", 1}};
    for (const auto& s : kSpaces)
        if (std::strcmp(name, s.name) == 0) return s.components;
    return 0;
}

}  // namespace

int ColorComponents(FilterData& data, CPDFObject* space, std::string* family, bool* indexed) {
    *indexed = false;
    family->clear();
    if (!space) return 0;
    if (space->Is(CPDFObject::Name)) {
        *family = static_cast<CPDFName*>(space)->Text();
        // Only the device spaces stand alone as names.
        const int n = ByName(family->c_str());
        return n && family->rfind("Device", 0) == 0 ? n : 0;
    }
    if (!space->Is(CPDFObject::Array)) return 0;
    auto* array = static_cast<CPDFArray*>(space);
    CPDFObject* first = array->GetObj(data.doc, 0);
    if (!first || !first->Is(CPDFObject::Name)) return 0;
    *family = static_cast<CPDFName*>(first)->Text();
    if (*family == "ICCBased") {
        auto* profile = dynamic_cast<CPDFDict*>(array->GetObj(data.doc, 1));
        CPDFObject* n = profile ? profile->GetObj(data.doc, "N") : nullptr;
        if (!n || !n->Is(CPDFObject::Number | CPDFObject::Integer | CPDFObject::Real)) return 0;
        const int32_t count = static_cast<CPDFNumber*>(n)->IntValue();
        return count == 1 || count == 3 || count == 4 ? count : 0;
    }
    if (*family == "DeviceN") {
        auto* names = dynamic_cast<CPDFArray*>(array->GetObj(data.doc, 1));
        return names ? names->Count() : 0;
    }
    *indexed = *family == "Indexed";
    return ByName(family->c_str());
}

}  // namespace corvina::detail
