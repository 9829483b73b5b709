#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/object/CPDFObjRef.h"

// The job's named destinations: each name once, known by its text, so that
// (1) and <FEFF0031> are one name; each key keeps the bytes and the form the
// file gave it. A tree may hold millions of names, so the map is compact: the
// keys' bytes lie in one buffer, a key's text is kept only where it is not
// those bytes, and the index is an open hash of entry numbers.
class CNameMap {
public:
    using Index = uint32_t;
    static constexpr Index kNone = UINT32_MAX;

    // The entry whose text is text, compared up to its first zero unit, or
    // kNone.
    Index Find(std::u16string_view text) const;
    // A key read from a file, its bytes as read and written literal or in
    // hexadecimal as it was. Pairs arrive in the tree's order and the last
    // the tree holds wins: a name already here takes this key and value.
    Index AddRead(std::string_view bytes, bool literal, const corvina::CPDFObjRef& ref);
    // A new name: text that is all ASCII becomes a byte string, any other an
    // FE FF text string. The name must not be here yet.
    Index AddNew(std::u16string_view text, const corvina::CPDFObjRef& ref);

    size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    void Clear();

    corvina::CPDFObjRef Ref(Index i) const {
        return corvina::CPDFObjRef(entries_[i].objNum, entries_[i].genNum);
    }
    void SetRef(Index i, const corvina::CPDFObjRef& ref);
    std::string_view Bytes(Index i) const {
        return std::string_view(bytes_).substr(entries_[i].bytesAt, entries_[i].bytesLen);
    }
    bool IsLiteral(Index i) const { return entries_[i].literal; }
    std::u16string Text(Index i) const;
    // Every entry, in ascending order of the keys' bytes: the order readers
    // search a tree's keys in.
    std::vector<Index> InKeyOrder() const;

    // The text a key's bytes stand for: UTF-16BE after FE FF, code page 932
    // otherwise (bytes that do not convert keep their values), up to the
    // first zero unit.
    static std::u16string KeyText(std::string_view bytes);

private:
    struct Entry {
        uint32_t bytesAt;
        uint32_t bytesLen;
        uint32_t textAt;  // kNone: the text is the bytes, each a unit
        uint32_t textLen;
        int32_t objNum;
        int32_t genNum;
        bool literal;
    };

    std::u16string_view StoredText(const Entry& e, std::u16string& scratch) const;
    // Lookups compare and hash a key's text where it lies, bytes or units,
    // without making a copy of it.
    bool SameText(const Entry& e, std::u16string_view text) const;
    uint64_t HashOf(const Entry& e) const;
    // The entry of text: an existing one gets the key and value when replace,
    // else stays as it is; kNone when it is there and not replaced.
    Index Add(std::string_view bytes, std::u16string_view text, bool literal,
              const corvina::CPDFObjRef& ref, bool replace);
    void SetKey(Entry& e, std::string_view bytes, std::u16string_view text, bool literal);
    void Grow();
    size_t Slot(std::u16string_view text) const;

    // In blocks: a million entries never sit in two copies while growing.
    std::deque<Entry> entries_;
    std::string bytes_;
    std::u16string texts_;
    std::vector<Index> slots_;  // entry + 1; 0 is empty
    // Entries before this one were read, in the tree's order; the rest are
    // new.
    size_t readCount_ = 0;
};
