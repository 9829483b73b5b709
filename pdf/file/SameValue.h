#pragma once

namespace corvina {
class CPDFAtom;
}

namespace corvina::detail {

// True when a and b stand for the same PDF value, whatever their classes (a
// typed page equals the plain dictionary it was loaded from): references by
// number and generation, numbers by the text they were read with, strings and
// names by their bytes, containers member by member, streams by dictionary and
// by the input range their data still lies in. A number without kept text,
// stream data held in memory, or nesting past the parser's bound count as
// different, so that a caller never takes a changed value for an unchanged
// one. Null atoms are equal only to each other.
bool SameValue(const CPDFAtom* a, const CPDFAtom* b);

}  // namespace corvina::detail
