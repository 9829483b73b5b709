#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pdf/file/CPDFFileStruct.h"
#include "pdf/file/XRefEntry.h"
#include "pdf/io/CorvinaApi.h"

namespace corvina {

class InStream;

// The in-memory cross-reference table: one slot per number from the lowest
// placed to the highest. Object 0 has no slot; its offset field is the
// free-list head. Owned by the document.
// The entries it hands out are its own and stay valid only until AddEntry or
// SetEntry grows the storage: hold a number, not a pointer, across those.
// Reading throws a CPDFException on a table that does not read; the other
// operations report false (0, null) for a number outside the table and for
// memory running out.
class CORVINA_API CPDFXRef : public CPDFFileStruct {
public:
    CPDFXRef() : CPDFFileStruct(XRefKind) {}

    // Reads one section from the current position; leaves the input at "trailer".
    void Serialize(CPDFObjHolder* doc, InStream& in);
    // Writes "xref", the subsections and their 20-byte entry lines.
    void Serialize(OutStream& out) override;
    // Calls fn(start, count) for each run of consecutive numbers the table
    // holds, as a section lists them; object 0 opens the first run.
    template <class Fn>
    void ForEachRun(Fn fn) const {
        int32_t start = 0, count = 1;
        bool open = true;
        const int32_t stored = HighestStored();
        const int32_t last = size_ < stored ? size_ : stored;
        for (int32_t n = 1; n <= last; ++n) {
            if (Slot(n)) {
                if (!open) {
                    start = n;
                    count = 0;
                    open = true;
                }
                ++count;
            } else if (open) {
                fn(start, count);
                open = false;
            }
        }
        if (open) fn(start, count);
    }
    // With a source: the same free-list head, size and free entries only.
    bool Create(CPDFObjHolder* doc, const CPDFXRef* source);
    bool Realize(CPDFObjHolder* doc) {
        doc_ = doc;
        return true;
    }

    // Null for 0 or less, beyond the size, or an empty slot.
    XRefEntry* GetEntry(int32_t objNum);
    const XRefEntry* GetEntry(int32_t objNum) const;
    // Appends a slot: number size+1, generation 0, offset 0, in use.
    bool AddEntry(int32_t* objNum);
    bool SetEntry(const XRefEntry& entry);
    bool UpdateEntry(int32_t objNum);
    // Nonzero on success; keeps the free list in ascending order.
    int FreeEntry(int32_t objNum);
    // Grows (never shrinks) the table to size slots.
    bool Resize(int32_t size);
    // Makes room for entries up to objNum at once, so that a table filled
    // number by number is not copied each time its room doubles.
    bool Reserve(int32_t objNum) { return objNum <= 0 || Cover(1, objNum); }
    // Completes the table with what a hybrid file's stream lists: numbers the
    // table lacks, and numbers it lists free that the stream has in use.
    bool Complete(const CPDFXRef& stream);
    // Takes the free-list head for a new object: fills entry, marks it in use.
    XRefEntry* TakeFreeHead();

    int32_t Size() const { return size_; }
    int32_t FreeHead() const { return freeHead_; }
    void SetFreeHead(int32_t head) { freeHead_ = head; }
    // Slots held in memory, empty ones included.
    size_t StoredSlots() const { return slots_.size(); }

private:
    // The list from the head runs through free entries only and ends in 0.
    bool FreeListSound() const;
    // Links every free entry in ascending order.
    void RelinkFree();
    XRefEntry* Slot(int32_t objNum);
    const XRefEntry* Slot(int32_t objNum) const;
    // Makes the slots of lo..hi exist (lo at least 1).
    bool Cover(int32_t lo, int32_t hi);
    // The slot of objNum, made when missing; null when memory runs out.
    XRefEntry* Place(int32_t objNum);
    // The highest number with a slot (base_ - 1 when there is none).
    int32_t HighestStored() const {
        const int64_t last = static_cast<int64_t>(base_) + static_cast<int64_t>(slots_.size()) - 1;
        return last > INT32_MAX ? INT32_MAX : static_cast<int32_t>(last);
    }
    void ReadSection(InStream& in);

    int32_t freeHead_ = 0;
    // The table's size; storage below grows only as far as entries are placed,
    // so a large Size costs nothing until its numbers are used.
    int32_t size_ = 0;
    // objNum == -1 marks an empty slot.
    std::vector<XRefEntry> slots_;
    // The number of slots_[0]: the lowest placed while the table was empty,
    // so that a table holding only high numbers (the entries a save writes
    // early) does not hold every number below them. A lower number placed
    // later brings it down to 1 at once, so numbers placed in descending
    // order do not move the slots each time.
    int32_t base_ = 1;
};

}  // namespace corvina
