#include "pdf/stream/CPDFStreamSource.h"

namespace corvina {

CPDFStreamSource::~CPDFStreamSource() = default;

}  // namespace corvina
