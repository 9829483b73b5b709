#include "pdf/stream/CPDFRunLengthFilter.h"

#include "pdf/stream/FilterRun.h"

namespace corvina {

bool CPDFRunLengthFilter::Decode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, "CPDFRunLengthFilter", "Decode");
    return run.Guard([&] { run.Fail(CPDFException::InternalError, "not built"); });
}

bool CPDFRunLengthFilter::Encode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, "CPDFRunLengthFilter", "Encode");
    return run.Guard([&] { run.Fail(CPDFException::InternalError, "not built"); });
}

}  // namespace corvina
