#include "pdf/stream/CPDFCCITTFaxFilter.h"

#include "pdf/object/CPDFDict.h"
#include "pdf/stream/FilterRun.h"

namespace corvina {

bool CPDFCCITTFaxFilter::Decode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, "CPDFCCITTFaxFilter", "Decode");
    return run.Guard([&] { run.Fail(CPDFException::InternalError, "not built"); });
}

bool CPDFCCITTFaxFilter::Encode(FilterData& data, const FilterCall& call, int32_t /*k*/,
                                std::unique_ptr<CPDFDict>& /*parms*/) {
    detail::FilterRun run(data, call, "CPDFCCITTFaxFilter", "Encode");
    return run.Guard([&] { run.Fail(CPDFException::InternalError, "not built"); });
}

}  // namespace corvina
