#include "pdf/stream/FilterRun.h"

namespace corvina::detail {

void FilterRun::Tick(int64_t done, int64_t total) {
    CheckCancel();
    Report(done, total);
}

void FilterRun::CheckCancel() {
    if (!call_.cancel) return;
    bool cancel = false;
    call_.cancel(&cancel, call_.range.user);
    if (cancel) Fail(CPDFException::UserError, "canceled by user");
}

void FilterRun::Report(int64_t done, int64_t total) {
    if (!call_.progress || total <= 0) return;
    const int64_t start = call_.range.start, end = call_.range.end;
    const int64_t position = start + (end - start) * done / total;
    if (position == lastReported_) return;
    lastReported_ = position;
    call_.progress(static_cast<int32_t>(position), call_.range.user);
}

void FilterRun::Emit(const char* bytes, int n) {
    if (n <= 0) return;
    if (call_.limit > 0 && data_.result.Length() > call_.limit - n) FailLimit(call_.limit);
    if (!data_.result.Append(bytes, n)) Fail(CPDFException::InternalError, "");
}

void FilterRun::FailLimit(int32_t limit) const {
    Fail(CPDFException::InvalidFormat,
         FormatFactor("decoded data exceeds %ld bytes", static_cast<long>(limit)).c_str());
}

void FilterRun::Fail(int type, const char* factor) const {
    throw CPDFException(module_, method_, type, factor);
}

}  // namespace corvina::detail
