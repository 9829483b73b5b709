#pragma once

#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "pdf/object/CPDFException.h"
#include "pdf/stream/FilterCall.h"
#include "pdf/stream/FilterData.h"
#include "pdf/stream/StrLoad.h"

namespace corvina::detail {

// The skeleton every filter runs in: the input read in pieces through a
// StrLoad, cancel and progress per piece, output collected in a temporary
// buffer that the stream takes on success, and every failure recorded with
// the filter's module and method while the stream's data stays unchanged.
class FilterRun {
public:
    static constexpr int kPiece = 4096;

    FilterRun(FilterData& data, const FilterCall& call, const char* module, const char* method)
        : data_(data), call_(call), module_(module), method_(method) {}

    // Runs body() unless the data is empty; true when it finished. A thrown
    // CPDFException goes to the error list; anything else becomes an
    // InternalError without factor. The result is dropped on failure.
    template <class Body>
    bool Guard(Body body) {
        try {
            if (data_.length == 0) return true;
            if (!in_.Open(data_.data, data_.length, kPiece))
                Fail(CPDFException::InternalError, "StrLoad::Open()");
            body();
            return true;
        } catch (const CPDFException& e) {
            Record(e);
        } catch (...) {
            Record(CPDFException(module_, method_, CPDFException::InternalError, ""));
        }
        data_.result.Clear();
        return false;
    }

    // Calls piece(bytes, n) for each input piece of up to 4096 bytes, with
    // the cancel check and the progress report before each. A piece that
    // returns false ends the input there (an end marker was met).
    template <class Piece>
    void ForEachPiece(Piece piece) {
        char buffer[kPiece];
        for (;;) {
            const int n = in_.Read(buffer, kPiece);
            if (n <= 0) break;
            Tick(in_.Tell(), in_.Length());
            const char* bytes = buffer;
            if constexpr (std::is_same_v<decltype(piece(bytes, n)), bool>) {
                if (!piece(bytes, n)) break;
            } else {
                piece(bytes, n);
            }
        }
    }

    // The cancel callback, then the progress for done of total units.
    void Tick(int64_t done, int64_t total);
    void CheckCancel();
    void Report(int64_t done, int64_t total);
    void Emit(const char* bytes, int n);
    void Emit(char c) { Emit(&c, 1); }
    [[noreturn]] void Fail(int type, const char* factor) const;
    [[noreturn]] void FailLimit(int32_t limit) const;

    StrLoad& Input() { return in_; }
    FilterData& Data() { return data_; }
    const char* Module() const { return module_; }
    const char* Method() const { return method_; }

private:
    void Record(const CPDFException& e) const {
        if (call_.errors) *call_.errors = e;
    }

    FilterData& data_;
    const FilterCall& call_;
    const char* module_;
    const char* method_;
    StrLoad in_;
    int64_t lastReported_ = -1;
};

}  // namespace corvina::detail
