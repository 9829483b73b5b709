#include "pdf/object/CPDFObject.h"

namespace corvina {

bool CPDFObject::Release(CPDFObjHolder*) {
    return true;
}

bool CPDFObject::Linearize(CPDFObjHolder*) {
    return true;
}

}  // namespace corvina
