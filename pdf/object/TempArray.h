#pragma once

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace corvina {

// A growable vector of trivially copyable slots. releaseFn runs on a slot
// before its value is overwritten or discarded; CPDFArray uses it to destroy
// the atom it owns.
template <class T>
class TempArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    using ReleaseFn = void (*)(T* slot);

    TempArray() = default;
    TempArray(const TempArray&) = delete;
    TempArray& operator=(const TempArray&) = delete;
    virtual ~TempArray() { Clear(); }

    // A failed growth leaves the array exactly as it was: the slots own their
    // values, and dropping them here would bypass releaseFn.
    virtual bool Reserve(int n) {
        if (capacity_ >= n) return true;
        int size = NewSize(n);
        if (size < n) size = n;
        if (static_cast<size_t>(size) > SIZE_MAX / sizeof(T)) return false;
        T* fresh = static_cast<T*>(std::malloc(static_cast<size_t>(size) * sizeof(T)));
        if (!fresh) return false;
        if (items_) std::memcpy(fresh, items_, static_cast<size_t>(count_) * sizeof(T));
        std::free(items_);
        items_ = fresh;
        capacity_ = size;
        return true;
    }
    virtual void Free() {
        std::free(items_);
        items_ = nullptr;
        capacity_ = 0;
        count_ = 0;
    }
    // Rounded up to a multiple of growBy_, computed wide so a huge request
    // cannot wrap; past INT_MAX it is the request itself.
    virtual int NewSize(int n) const {
        if (n <= 0 || growBy_ <= 0) return 0;
        const int64_t size = (int64_t{n} + growBy_ - 1) / growBy_ * growBy_;
        return size > INT_MAX ? n : static_cast<int>(size);
    }

    int Count() const { return count_; }
    T GetAt(int index) const { return items_[index]; }
    T& At(int index) { return items_[index]; }
    // Index 0..count-1 only; the old value is released first.
    bool SetAt(int index, T value) {
        if (index < 0 || index >= count_) return false;
        if (releaseFn_) releaseFn_(&items_[index]);
        items_[index] = value;
        return true;
    }
    bool Push_Back(T value) {
        if (count_ == INT_MAX || !Reserve(count_ + 1)) return false;
        items_[count_++] = value;
        return true;
    }
    bool PushFront(T value) {
        if (count_ == INT_MAX || !Reserve(count_ + 1)) return false;
        std::memmove(items_ + 1, items_, static_cast<size_t>(count_) * sizeof(T));
        items_[0] = value;
        ++count_;
        return true;
    }
    // Shifts the following slots down; the value is not released.
    bool Erase(int index) {
        if (index < 0 || index >= count_) return false;
        std::memmove(items_ + index, items_ + index + 1,
                     static_cast<size_t>(count_ - index - 1) * sizeof(T));
        --count_;
        return true;
    }
    void Clear() {
        if (releaseFn_)
            for (int i = 0; i < count_; ++i) releaseFn_(&items_[i]);
        Free();
    }
    void Swap(TempArray& other) {
        std::swap(items_, other.items_);
        std::swap(capacity_, other.capacity_);
        std::swap(count_, other.count_);
    }

protected:
    ReleaseFn releaseFn_ = nullptr;
    int growBy_ = 10;
    T* items_ = nullptr;
    int capacity_ = 0;
    int count_ = 0;
};

}  // namespace corvina
