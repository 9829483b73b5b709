#include "pdf/file/CPDFBody.h"

#include "pdf/file/SlotGrowth.h"

#include <new>

namespace corvina {

CPDFBody::Slot* CPDFBody::Find(const CPDFObjRef& ref) {
    if (ref.objNum <= 0 || ref.objNum > static_cast<int32_t>(slots_.size())) return nullptr;
    Slot& s = slots_[ref.objNum - 1];
    return s.objNum == ref.objNum && s.genNum == ref.genNum ? &s : nullptr;
}

bool CPDFBody::Cover(int32_t objNum) {
    return detail::GrowSlots(slots_, static_cast<size_t>(objNum));
}

bool CPDFBody::Create(CPDFObjHolder* doc, const CPDFBody* source) {
    doc_ = doc;
    slots_.clear();
    size_ = source ? source->size_ : 0;
    return true;
}

CPDFObject* CPDFBody::GetObj(const CPDFObjRef& ref) const {
    Slot* s = const_cast<CPDFBody*>(this)->Find(ref);
    return s ? s->obj.get() : nullptr;
}

bool CPDFBody::SetObj(const CPDFObjRef& ref, std::unique_ptr<CPDFObject> obj) {
    if (ref.objNum <= 0 || ref.objNum > size_ || !Cover(ref.objNum)) return false;
    Slot& s = slots_[ref.objNum - 1];
    s.objNum = ref.objNum;
    s.genNum = ref.genNum;
    s.obj = std::move(obj);
    return true;
}

bool CPDFBody::AddObj(std::unique_ptr<CPDFObject> obj, CPDFObjRef* ref) {
    if (size_ >= INT32_MAX) return false;
    const int32_t n = size_ + 1;
    if (!Cover(n)) return false;
    size_ = n;
    Slot& s = slots_[n - 1];
    s.objNum = n;
    s.genNum = 0;
    s.obj = std::move(obj);
    if (ref) *ref = CPDFObjRef(n, 0);
    return true;
}

std::unique_ptr<CPDFObject> CPDFBody::TakeObj(const CPDFObjRef& ref) {
    Slot* s = Find(ref);
    if (!s) return nullptr;
    std::unique_ptr<CPDFObject> obj = std::move(s->obj);
    s->objNum = s->genNum = -1;
    return obj;
}

void CPDFBody::RemoveObj(const CPDFObjRef& ref) {
    Slot* s = Find(ref);
    if (!s) return;
    s->obj.reset();
    s->objNum = s->genNum = -1;
}

bool CPDFBody::Resize(int32_t size) {
    if (size < 0) return false;
    if (size > size_) size_ = size;
    return true;
}

CPDFObject* CPDFBody::SlotObj(int32_t objNum, CPDFObjRef* ref) const {
    if (ref) ref->Reset();
    if (objNum <= 0 || objNum > static_cast<int32_t>(slots_.size())) return nullptr;
    const Slot& s = slots_[objNum - 1];
    if (s.objNum == -1) return nullptr;
    if (ref) *ref = CPDFObjRef(s.objNum, s.genNum);
    return s.obj.get();
}

}  // namespace corvina
