#pragma once

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <type_traits>

#include "pdf/object/SmallBlockPool.h"

namespace corvina {

namespace detail {

// Copies n units into a buffer just allocated. GCC, seeing a buffer freed
// just before through a virtual call it cannot follow, would take the
// source for that freed buffer; callers pass one that lies outside it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
#endif
template <class C>
inline void CopyUnits(C* to, const C* from, int n) {
    std::memcpy(to, from, static_cast<size_t>(n) * sizeof(C));
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace detail

// Character operations of TempString; the byte strings of PDF use char.
template <class C>
struct TempStringOpe {
    static int Length(const C* s) {
        int n = 0;
        while (s[n]) ++n;
        return n;
    }
    // strcmp on unsigned units, up to the first zero of either side.
    static int Compare(const C* a, const C* b) {
        using U = std::make_unsigned_t<C>;
        for (;; ++a, ++b) {
            const U x = static_cast<U>(*a), y = static_cast<U>(*b);
            if (x != y) return x < y ? -1 : 1;
            if (x == 0) return 0;
        }
    }
};

// A growable string that always keeps a zero terminator after its contents.
// The buffer is owned; allocation failures are reported by Reserve's result,
// and a failed append or reserve leaves the contents as they were.
template <class C, class Ope = TempStringOpe<C>>
class TempString {
public:
    TempString() = default;
    explicit TempString(const C* text) { Assign(text, -1); }
    TempString(const C* data, int length) { Assign(data, length); }
    TempString(const TempString& other) : initialSize_(other.initialSize_), growBy_(other.growBy_) {
        Assign(other.data_, other.length_);
    }
    TempString& operator=(const TempString& other) {
        if (this != &other) Assign(other.data_, other.length_);
        return *this;
    }
    virtual ~TempString() { FreeHeap(); }

    // A failed growth leaves the string exactly as it was.
    virtual bool Reserve(int n) {
        if (capacity_ >= n) return true;
        C* fresh = nullptr;
        int size;
        if (!data_) {
            size = n > initialSize_ ? n : initialSize_;
        } else {
            size = NewSize(n);
        }
        if (size < n) size = n;
        if (static_cast<size_t>(size) > SIZE_MAX / sizeof(C)) return false;
        fresh = static_cast<C*>(
            detail::SmallBlockPool::Allocate(static_cast<size_t>(size) * sizeof(C)));
        if (!fresh) return false;
        if (data_) std::memcpy(fresh, data_, static_cast<size_t>(capacity_) * sizeof(C));
        FreeHeap();
        data_ = fresh;
        capacity_ = size;
        return true;
    }
    virtual void Free() {
        FreeHeap();
        capacity_ = 0;
    }
    // Computed wide so a huge request cannot wrap; past INT_MAX it is the
    // request itself.
    virtual int NewSize(int n) const {
        if (growBy_ <= 0) return 0;
        const int64_t size = (int64_t{n} + growBy_ - 1) / growBy_ * growBy_;
        return size > INT_MAX ? n : static_cast<int>(size);
    }

    // length -1: up to the first zero.
    bool Assign(const C* data, int length) {
        if (data && length < 0) length = Ope::Length(data);
        if (data && data_ && std::less_equal<const C*>()(data_, data) &&
            std::less<const C*>()(data, data_ + capacity_)) {
            // A part of the own buffer, which Free() would release under it.
            std::memmove(data_, data, static_cast<size_t>(length) * sizeof(C));
            length_ = length;
            data_[length_] = 0;
            return true;
        }
        Free();
        length_ = 0;
        if (!data || length <= 0) return true;
        if (length == INT_MAX || !Reserve(length + 1)) return false;
        // data lies outside the freed buffer (the overlap returned above).
        detail::CopyUnits(data_, data, length);
        length_ = length;
        data_[length_] = 0;
        return true;
    }
    bool Assign(const C* text) { return Assign(text, -1); }
    bool Append(const C* data, int length) {
        if (length < 0) length = Ope::Length(data);
        if (length == 0) return true;
        // Appending from the own buffer: the pointer moves when it grows.
        const bool own = data_ && std::less_equal<const C*>()(data_, data) &&
                         std::less<const C*>()(data, data_ + capacity_);
        const long offset = own ? data - data_ : 0;
        if (!Fits(length) || !Reserve(length_ + length + 1)) return false;
        if (own) data = data_ + offset;
        std::memmove(data_ + length_, data, static_cast<size_t>(length) * sizeof(C));
        length_ += length;
        data_[length_] = 0;
        return true;
    }
    bool Append(C c, int count) {
        if (count <= 0) return true;
        if (!Fits(count) || !Reserve(length_ + count + 1)) return false;
        for (int i = 0; i < count; ++i) data_[length_ + i] = c;
        length_ += count;
        data_[length_] = 0;
        return true;
    }
    // Replaces the contents by count copies of c.
    bool Fill(C c, int count) {
        length_ = 0;
        if (data_) data_[0] = 0;
        return Append(c, count);
    }
    void Clear() {
        Free();
        length_ = 0;
    }
    // Never null: an empty text when nothing is held.
    const C* Text() const {
        static const C kEmpty[1] = {0};
        return data_ ? data_ : kEmpty;
    }
    C* Data() { return data_; }
    int Length() const { return length_; }
    int Capacity() const { return capacity_; }
    int Compare(const TempString& other) const { return Ope::Compare(Text(), other.Text()); }
    int Compare(const C* text) const {
        return Ope::Compare(Text(), text ? text : Text() + length_);
    }
    bool operator==(const TempString& other) const { return Compare(other) == 0; }
    bool operator<(const TempString& other) const { return Compare(other) < 0; }

protected:
    // True when added more units and the terminator still fit an int length.
    bool Fits(int added) const { return added < INT_MAX - length_; }
    // Takes other's contents with its buffer, leaving other empty: a string
    // parsed into a temporary joins a container without a copy. Only between
    // strings of one kind, so that the buffer is freed the way it was made.
    void TakeBuffer(TempString& other) noexcept {
        if (this == &other) return;
        if (data_) FreeHeap();
        initialSize_ = other.initialSize_;
        growBy_ = other.growBy_;
        data_ = other.data_;
        capacity_ = other.capacity_;
        length_ = other.length_;
        other.data_ = nullptr;
        other.capacity_ = 0;
        other.length_ = 0;
    }
    // Used by derived buffers that place the data elsewhere.
    void Adopt(C* data, int capacity) {
        data_ = data;
        capacity_ = capacity;
    }
    // The buffer was allocated for capacity_ units, which is what the pool
    // files it under.
    virtual void FreeHeap() {
        detail::SmallBlockPool::Free(data_, static_cast<size_t>(capacity_) * sizeof(C));
        data_ = nullptr;
    }

    int initialSize_ = 10;
    int growBy_ = 100;
    C* data_ = nullptr;
    int capacity_ = 0;
    int length_ = 0;
};

}  // namespace corvina
