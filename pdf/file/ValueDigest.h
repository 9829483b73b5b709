#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace corvina {
class CPDFAtom;
}

namespace corvina::detail {

// A keyed 64-bit digest (SipHash-2-4) of a value, as SameValue sees values:
// classes do not count, numbers count by their kept text, streams by their
// dictionary and the input range of their data. Two values that SameValue
// finds different get different digests but with a chance of 2^-64, and the
// key is drawn at random for each digest object, so no file can be built to
// make them collide. Nothing (no digest) for a value SameValue never finds
// equal to anything: a number without kept text, stream data in memory,
// nesting past the parser's bound.
class ValueDigest {
public:
    // Draws the key; Usable() is false when the system gave no random bytes.
    ValueDigest();
    bool Usable() const { return usable_; }
    std::optional<uint64_t> Of(const CPDFAtom* value) const;

private:
    uint64_t k0_ = 0;
    uint64_t k1_ = 0;
    bool usable_ = false;
};

// SipHash-2-4 of n bytes under the key (k0, k1), as its authors define it.
uint64_t SipHash24(uint64_t k0, uint64_t k1, const void* data, size_t n);

}  // namespace corvina::detail
