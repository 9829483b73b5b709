#include "pdf/stream/CPDFASCII85Filter.h"

#include "pdf/stream/FilterRun.h"

namespace corvina {

bool CPDFASCII85Filter::Decode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, "CPDFASCII85Filter", "Decode");
    return run.Guard([&] { run.Fail(CPDFException::InternalError, "not built"); });
}

bool CPDFASCII85Filter::Encode(FilterData& data, const FilterCall& call) {
    detail::FilterRun run(data, call, "CPDFASCII85Filter", "Encode");
    return run.Guard([&] { run.Fail(CPDFException::InternalError, "not built"); });
}

}  // namespace corvina
