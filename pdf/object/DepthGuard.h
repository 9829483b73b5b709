#pragma once

#include "pdf/io/CorvinaApi.h"

namespace corvina::detail {

// One level of recursive work, counted for as long as the guard lives. Work
// that follows what a file says (nesting, references, Length chains, trees)
// counts its depth with one of these and stops once Exceeded(), so a cycle or
// a hostile depth ends in a clean error instead of a stack overflow.
class CORVINA_API DepthGuard {
public:
    // The library's kinds of recursive work, each with a counter per thread
    // and its bound from pdf/io/Limits.h.
    enum Kind { Parse, Copy, Walk, Length, TypedCopy };
    explicit DepthGuard(Kind kind);
    // A counter of the caller's own (a document's nested loads), and its bound.
    DepthGuard(int& counter, int limit) : counter_(counter), limit_(limit) { ++counter_; }
    ~DepthGuard() { --counter_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

    bool Exceeded() const { return counter_ > limit_; }

private:
    int& counter_;
    int limit_;
};

}  // namespace corvina::detail
