#include "tool/CNameMap.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <type_traits>

#include "pdf/object/CP932.h"

namespace {

// FNV-1a over 16-bit units; a byte is the unit of its value.
template <class Units>
uint64_t Hash(const Units& units) {
    uint64_t h = 14695981039346656037ull;
    for (auto u : units) {
        h ^= static_cast<uint16_t>(static_cast<std::make_unsigned_t<decltype(u)>>(u));
        h *= 1099511628211ull;
    }
    return h;
}

std::u16string_view UpToZero(std::u16string_view text) {
    const size_t zero = text.find(u'\0');
    return zero == std::u16string_view::npos ? text : text.substr(0, zero);
}

bool IsUnicodeKey(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
           static_cast<unsigned char>(bytes[1]) == 0xFF;
}

// Bytes with each byte a unit of text: ASCII without a zero.
bool BytesAreText(std::string_view bytes) {
    for (char c : bytes)
        if (c <= 0) return false;
    return true;
}

uint32_t Offset(size_t at, size_t add) {
    // Keys come from a file below 2 GiB and pages' names of 255 bytes: a
    // buffer past 4 GiB is a fault, never a truncation.
    if (at > UINT32_MAX - add) throw std::length_error("name map");
    return static_cast<uint32_t>(at);
}

}  // namespace

std::u16string CNameMap::KeyText(std::string_view bytes) {
    std::u16string text;
    if (IsUnicodeKey(bytes)) {
        const size_t n = (bytes.size() - 2) / 2;  // an odd last byte is ignored
        text.reserve(n);
        for (size_t k = 0; k < n; ++k) {
            const auto hi = static_cast<unsigned char>(bytes[2 + 2 * k]);
            const auto lo = static_cast<unsigned char>(bytes[3 + 2 * k]);
            text += static_cast<char16_t>((hi << 8) | lo);
        }
    } else if (!corvina::detail::CP932ToUTF16(bytes.data(), bytes.size(), text)) {
        // No name is dropped for its bytes: they stand for their own values.
        text.clear();
        for (char c : bytes) text += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
    return std::u16string(UpToZero(text));
}

std::u16string_view CNameMap::StoredText(const Entry& e, std::u16string& scratch) const {
    if (e.textAt != kNone) return std::u16string_view(texts_).substr(e.textAt, e.textLen);
    scratch.assign(bytes_.begin() + e.bytesAt, bytes_.begin() + e.bytesAt + e.bytesLen);
    return scratch;
}

std::u16string CNameMap::Text(Index i) const {
    std::u16string scratch;
    return std::u16string(StoredText(entries_[i], scratch));
}

bool CNameMap::SameText(const Entry& e, std::u16string_view text) const {
    if (e.textAt != kNone) return std::u16string_view(texts_).substr(e.textAt, e.textLen) == text;
    if (e.bytesLen != text.size()) return false;
    const char* b = bytes_.data() + e.bytesAt;
    for (size_t k = 0; k < text.size(); ++k)
        if (text[k] != static_cast<char16_t>(static_cast<unsigned char>(b[k]))) return false;
    return true;
}

uint64_t CNameMap::HashOf(const Entry& e) const {
    if (e.textAt != kNone) return Hash(std::u16string_view(texts_).substr(e.textAt, e.textLen));
    return Hash(std::string_view(bytes_).substr(e.bytesAt, e.bytesLen));
}

size_t CNameMap::Slot(std::u16string_view text) const {
    const size_t mask = slots_.size() - 1;
    for (size_t s = Hash(text) & mask;; s = (s + 1) & mask) {
        const Index held = slots_[s];
        if (held == 0 || SameText(entries_[held - 1], text)) return s;
    }
}

CNameMap::Index CNameMap::Find(std::u16string_view text) const {
    if (slots_.empty()) return kNone;
    const Index held = slots_[Slot(UpToZero(text))];
    return held == 0 ? kNone : held - 1;
}

void CNameMap::Grow() {
    std::vector<Index> old(std::max<size_t>(16, slots_.size() * 2), 0);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (Index i = 0; i < entries_.size(); ++i) {
        size_t s = HashOf(entries_[i]) & mask;
        while (slots_[s] != 0) s = (s + 1) & mask;
        slots_[s] = i + 1;
    }
}

void CNameMap::SetKey(Entry& e, std::string_view bytes, std::u16string_view text, bool literal) {
    e.bytesAt = Offset(bytes_.size(), bytes.size());
    e.bytesLen = static_cast<uint32_t>(bytes.size());
    bytes_.append(bytes);
    const bool same = text.size() == bytes.size() && BytesAreText(bytes) &&
                      std::equal(text.begin(), text.end(), bytes.begin(),
                                 [](char16_t u, char c) { return u == static_cast<char16_t>(c); });
    e.textAt = kNone;
    e.textLen = 0;
    if (!same) {
        e.textAt = Offset(texts_.size(), text.size());
        e.textLen = static_cast<uint32_t>(text.size());
        texts_.append(text);
    }
    e.literal = literal;
}

CNameMap::Index CNameMap::Add(std::string_view bytes, std::u16string_view text, bool literal,
                              const corvina::CPDFObjRef& ref, bool replace) {
    if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
    const size_t slot = Slot(text);
    if (slots_[slot] != 0) {
        if (!replace) return kNone;
        // The same text again: the later key stands for the name. Its text is
        // the one already held, so the slot stays.
        const Index i = slots_[slot] - 1;
        SetKey(entries_[i], bytes, text, literal);
        SetRef(i, ref);
        return i;
    }
    if (entries_.size() >= kNone - 1) throw std::length_error("name map");
    Entry e;
    SetKey(e, bytes, text, literal);
    e.objNum = ref.objNum;
    e.genNum = ref.genNum;
    entries_.push_back(e);
    slots_[slot] = static_cast<Index>(entries_.size());
    return static_cast<Index>(entries_.size() - 1);
}

CNameMap::Index CNameMap::AddRead(std::string_view bytes, bool literal,
                                  const corvina::CPDFObjRef& ref) {
    const Index i = Add(bytes, KeyText(bytes), literal, ref, true);
    readCount_ = entries_.size();
    return i;
}

CNameMap::Index CNameMap::AddNew(std::u16string_view text, const corvina::CPDFObjRef& ref) {
    text = UpToZero(text);
    std::string bytes;
    if (std::all_of(text.begin(), text.end(), [](char16_t u) { return u > 0 && u < 0x80; })) {
        bytes.assign(text.begin(), text.end());
        return Add(bytes, text, true, ref, false);
    }
    bytes.reserve(2 + 2 * text.size());
    bytes += '\xFE';
    bytes += '\xFF';
    for (char16_t u : text) {
        bytes += static_cast<char>(u >> 8);
        bytes += static_cast<char>(u & 0xFF);
    }
    return Add(bytes, text, false, ref, false);
}

void CNameMap::SetRef(Index i, const corvina::CPDFObjRef& ref) {
    entries_[i].objNum = ref.objNum;
    entries_[i].genNum = ref.genNum;
}

void CNameMap::Clear() {
    std::deque<Entry>().swap(entries_);
    std::string().swap(bytes_);
    std::u16string().swap(texts_);
    std::vector<Index>().swap(slots_);
    readCount_ = 0;
}

std::vector<CNameMap::Index> CNameMap::InKeyOrder() const {
    // A sorted tree's keys come in order already: only the new names need
    // sorting and merging in.
    std::vector<Index> order(entries_.size());
    for (size_t k = 0; k < entries_.size(); ++k) order[k] = static_cast<Index>(k);
    auto less = [this](Index a, Index b) {
        const std::string_view x = Bytes(a), y = Bytes(b);
        const int c = std::memcmp(x.data(), y.data(), std::min(x.size(), y.size()));
        return c != 0 ? c < 0 : x.size() < y.size();
    };
    const auto middle = order.begin() + static_cast<std::ptrdiff_t>(readCount_);
    if (!std::is_sorted(order.begin(), middle, less)) std::sort(order.begin(), middle, less);
    std::sort(middle, order.end(), less);
    std::inplace_merge(order.begin(), middle, order.end(), less);
    return order;
}
