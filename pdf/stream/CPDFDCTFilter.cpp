#include "pdf/stream/CPDFDCTFilter.h"

#include "pdf/stream/FilterRun.h"

namespace corvina {

bool CPDFDCTFilter::Decode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, "CPDFDCTFilter", "Decode");
    return run.Guard([&] { run.Fail(CPDFException::InternalError, "not built"); });
}

bool CPDFDCTFilter::Encode(FilterData& data, const FilterCall& call, int32_t /*quality*/) {
    detail::FilterRun run(data, call, "CPDFDCTFilter", "Encode");
    return run.Guard([&] { run.Fail(CPDFException::InternalError, "not built"); });
}

}  // namespace corvina
