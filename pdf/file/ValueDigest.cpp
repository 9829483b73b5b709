#include "pdf/file/ValueDigest.h"

#include <sys/random.h>

#include <cstring>

#include "pdf/io/Limits.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFBool.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/object/CPDFString.h"
#include "pdf/stream/CPDFStream.h"

namespace corvina::detail {
namespace {

constexpr int kNumbers = CPDFObject::Number | CPDFObject::Integer | CPDFObject::Real;
constexpr int kStrings = CPDFObject::String | CPDFObject::Text;

uint64_t Rotl(uint64_t x, int b) {
    return (x << b) | (x >> (64 - b));
}

// SipHash-2-4 over a stream of bytes fed in pieces.
class SipHash {
public:
    SipHash(uint64_t k0, uint64_t k1)
        : v0_(k0 ^ 0x736f6d6570736575ULL),
          v1_(k1 ^ 0x646f72616e646f6dULL),
          v2_(k0 ^ 0x6c7967656e657261ULL),
          v3_(k1 ^ 0x7465646279746573ULL) {}

    void Add(const void* data, size_t n) {
        const auto* p = static_cast<const unsigned char*>(data);
        total_ += n;
        if (fill_ > 0) {
            const size_t take = n < 8 - fill_ ? n : 8 - fill_;
            std::memcpy(tail_ + fill_, p, take);
            fill_ += take;
            p += take;
            n -= take;
            if (fill_ < 8) return;
            Compress(Word(tail_));
            fill_ = 0;
        }
        for (; n >= 8; p += 8, n -= 8) Compress(Word(p));
        std::memcpy(tail_, p, n);
        fill_ = n;
    }
    uint64_t Finish() {
        uint64_t m = static_cast<uint64_t>(total_ & 0xff) << 56;
        for (size_t i = 0; i < fill_; ++i) m |= static_cast<uint64_t>(tail_[i]) << (8 * i);
        Compress(m);
        v2_ ^= 0xff;
        for (int i = 0; i < 4; ++i) Round();
        return v0_ ^ v1_ ^ v2_ ^ v3_;
    }

private:
    // Eight bytes, least significant first, whatever the machine's order.
    static uint64_t Word(const unsigned char* p) {
        uint64_t m = 0;
        for (int i = 7; i >= 0; --i) m = (m << 8) | p[i];
        return m;
    }
    void Round() {
        v0_ += v1_;
        v1_ = Rotl(v1_, 13);
        v1_ ^= v0_;
        v0_ = Rotl(v0_, 32);
        v2_ += v3_;
        v3_ = Rotl(v3_, 16);
        v3_ ^= v2_;
        v0_ += v3_;
        v3_ = Rotl(v3_, 21);
        v3_ ^= v0_;
        v2_ += v1_;
        v1_ = Rotl(v1_, 17);
        v1_ ^= v2_;
        v2_ = Rotl(v2_, 32);
    }
    void Compress(uint64_t m) {
        v3_ ^= m;
        Round();
        Round();
        v0_ ^= m;
    }

    uint64_t v0_, v1_, v2_, v3_;
    unsigned char tail_[8] = {};
    size_t fill_ = 0;
    size_t total_ = 0;
};

// Collects the small pieces of a value's form and hands them to the hash in
// blocks: one Add per piece would cost more than the hashing itself.
class Feeder {
public:
    explicit Feeder(SipHash& hash) : hash_(hash) {}
    void Tag(char c) {
        if (fill_ == sizeof block_) Drain();
        block_[fill_++] = static_cast<unsigned char>(c);
    }
    void Count(uint32_t n) {
        if (fill_ + 4 > sizeof block_) Drain();
        for (int i = 0; i < 4; ++i) block_[fill_++] = static_cast<unsigned char>(n >> (8 * i));
    }
    void Bytes(const char* data, int n) {
        Count(static_cast<uint32_t>(n));
        if (n <= 0) return;
        if (fill_ + static_cast<size_t>(n) > sizeof block_) {
            Drain();
            if (static_cast<size_t>(n) > sizeof block_) {
                hash_.Add(data, static_cast<size_t>(n));
                return;
            }
        }
        std::memcpy(block_ + fill_, data, static_cast<size_t>(n));
        fill_ += static_cast<size_t>(n);
    }
    uint64_t Finish() {
        Drain();
        return hash_.Finish();
    }

private:
    void Drain() {
        hash_.Add(block_, fill_);
        fill_ = 0;
    }
    SipHash& hash_;
    unsigned char block_[256];
    size_t fill_ = 0;
};

// Feeds a prefix-free form of the value: a tag, then counts before contents.
bool Feed(Feeder& h, const CPDFAtom* atom, int depth);

bool FeedEntries(Feeder& h, const CPDFDict& dict, int depth) {
    h.Count(static_cast<uint32_t>(dict.Count()));
    for (CPDFDict::Node* n = dict.First(); n; n = CPDFDict::Next(n)) {
        h.Bytes(n->key.Text(), n->key.Length());
        if (!Feed(h, n->value, depth + 1)) return false;
    }
    return true;
}

bool Feed(Feeder& h, const CPDFAtom* atom, int depth) {
    if (depth > limits::kMaxParseNesting) return false;
    if (!atom) {
        h.Tag('0');
        return true;
    }
    if (atom->Kind() == CPDFAtom::RefKind) {
        const auto* ref = static_cast<const CPDFObjRef*>(atom);
        h.Tag('R');
        h.Count(static_cast<uint32_t>(ref->objNum));
        h.Count(static_cast<uint32_t>(ref->genNum));
        return true;
    }
    if (atom->Kind() != CPDFAtom::ObjectKind) return false;
    const auto& obj = *static_cast<const CPDFObject*>(atom);
    const int type = obj.TypeCode();
    if (type & kNumbers) {
        const auto& text = static_cast<const CPDFNumber&>(obj).KeptText();
        if (text.Empty()) return false;
        h.Tag('N');
        h.Bytes(text.Data(), text.Length());
        return true;
    }
    if (type & kStrings) {
        const auto& s = static_cast<const CPDFString&>(obj);
        h.Tag('S');
        h.Bytes(s.Text(), s.Length());
        return true;
    }
    switch (type) {
        case CPDFObject::Null:
            h.Tag('n');
            return true;
        case CPDFObject::Bool:
            h.Tag(static_cast<const CPDFBool&>(obj).Value() ? 't' : 'f');
            return true;
        case CPDFObject::Name: {
            const auto& name = static_cast<const CPDFName&>(obj);
            h.Tag('/');
            h.Bytes(name.Text(), name.Length());
            return true;
        }
        case CPDFObject::Array: {
            const auto& array = static_cast<const CPDFArray&>(obj);
            h.Tag('[');
            h.Count(static_cast<uint32_t>(array.Count()));
            for (int i = 0; i < array.Count(); ++i)
                if (!Feed(h, array.GetAt(i), depth + 1)) return false;
            return true;
        }
        case CPDFObject::Dictionary:
            h.Tag('<');
            return FeedEntries(h, static_cast<const CPDFDict&>(obj), depth);
        case CPDFObject::Stream: {
            const auto& stream = static_cast<const CPDFStream&>(obj);
            if (!stream.IsDeferred()) return false;
            h.Tag('s');
            h.Count(static_cast<uint32_t>(stream.SourceOffset()));
            h.Count(static_cast<uint32_t>(stream.SourceLength()));
            return FeedEntries(h, stream, depth);
        }
        default:
            return false;
    }
}

}  // namespace

uint64_t SipHash24(uint64_t k0, uint64_t k1, const void* data, size_t n) {
    SipHash h(k0, k1);
    h.Add(data, n);
    return h.Finish();
}

ValueDigest::ValueDigest() {
    uint64_t key[2];
    size_t got = 0;
    while (got < sizeof key) {
        const ssize_t n =
            ::getrandom(reinterpret_cast<char*>(key) + got, sizeof key - got, GRND_NONBLOCK);
        if (n <= 0) return;
        got += static_cast<size_t>(n);
    }
    k0_ = key[0];
    k1_ = key[1];
    usable_ = true;
}

std::optional<uint64_t> ValueDigest::Of(const CPDFAtom* value) const {
    if (!usable_) return std::nullopt;
    SipHash hash(k0_, k1_);
    Feeder h(hash);
    if (!Feed(h, value, 0)) return std::nullopt;
    return h.Finish();
}

}  // namespace corvina::detail
