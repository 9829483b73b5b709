#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "pdf/io/FileMap.h"
#include "pdf/io/TempName.h"
#include "pdf/object/TempString.h"

namespace corvina {

// Stream data: grows in 4096-byte blocks and, above 40960 bytes, moves into a
// memory-mapped temporary file that lives exactly as long as the buffer.
template <class C>
class TempHugeString : public TempString<C> {
    using Base = TempString<C>;

public:
    TempHugeString() { this->growBy_ = kBlockSize; }
    TempHugeString(const TempHugeString&) = delete;
    TempHugeString& operator=(const TempHugeString&) = delete;
    ~TempHugeString() override { Free(); }

    bool Reserve(int n) override {
        if (this->capacity_ >= n) return true;
        // On the heap too the buffer grows by half at least (up to the
        // threshold), so a result appended piece by piece is not copied once
        // per block.
        if (!map_ && n <= kThreshold)
            return Base::Reserve(this->data_ ? std::min(GrowTarget(n), kThreshold) : n);
        if (!map_) {
            const long size = this->data_ ? NewSize(n) : n;
            auto map = std::make_unique<FileMap>();
            if (!map->Create(TempSettings::Directory().c_str(), TempSettings::Prefix().c_str(),
                             size * static_cast<long>(sizeof(C)), false))
                return false;  // the heap buffer stays as it was
            if (this->data_)
                std::memcpy(map->Base(), this->data_,
                            static_cast<size_t>(this->length_ + 1) * sizeof(C));
            Base::FreeHeap();
            map_ = std::move(map);
            this->Adopt(static_cast<C*>(map_->Base()), static_cast<int>(size));
            return true;
        }
        // The file grows by at least half its size, so a stream that is
        // appended to piece by piece is remapped a logarithmic number of
        // times, not once per block.
        const int size = NewSize(GrowTarget(n));
        // A failed resize has already closed and removed the file, so the
        // contents are gone; the string is left empty, not dangling.
        if (!map_->Resize(static_cast<long>(size) * static_cast<long>(sizeof(C)), false)) {
            map_.reset();
            this->Adopt(nullptr, 0);
            this->length_ = 0;
            return false;
        }
        this->Adopt(static_cast<C*>(map_->Base()), size);
        return true;
    }
    void Free() override {
        FreeHeap();
        this->capacity_ = 0;
    }
    int NewSize(int n) const override {
        const int64_t size = (int64_t{n} + kBlockSize - 1) / kBlockSize * kBlockSize;
        return size > INT_MAX ? n : static_cast<int>(size);
    }

    // Exchanges the contents, mapped file included; nothing is copied.
    void Swap(TempHugeString& other) {
        std::swap(this->data_, other.data_);
        std::swap(this->capacity_, other.capacity_);
        std::swap(this->length_, other.length_);
        std::swap(map_, other.map_);
    }

    bool IsMapped() const { return map_ != nullptr; }
    const char* MapName() const { return map_ ? map_->Name() : ""; }

    static constexpr int kBlockSize = 4096;
    static constexpr int kThreshold = 40960;

protected:
    void FreeHeap() override {
        if (map_) {
            map_->Close(true);
            map_.reset();
            this->Adopt(nullptr, this->capacity_);
        } else {
            Base::FreeHeap();
        }
    }

private:
    int GrowTarget(int n) const {
        const int64_t wanted = int64_t{this->capacity_} + this->capacity_ / 2;
        if (wanted <= n) return n;
        return wanted > INT_MAX - kBlockSize ? n : static_cast<int>(wanted);
    }

    std::unique_ptr<FileMap> map_;
};

}  // namespace corvina
