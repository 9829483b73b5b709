#include "pdf/object/DepthGuard.h"

#include "pdf/io/Limits.h"

namespace corvina::detail {

namespace {

thread_local int tDepth[5] = {0, 0, 0, 0, 0};
constexpr int kDepthLimit[5] = {limits::kMaxParseNesting, limits::kMaxWalkDepth,
                                limits::kMaxWalkDepth, limits::kMaxLengthDepth,
                                limits::kMaxTreeDepth};

}  // namespace

DepthGuard::DepthGuard(Kind kind) : counter_(tDepth[kind]), limit_(kDepthLimit[kind]) {
    ++counter_;
}

}  // namespace corvina::detail
