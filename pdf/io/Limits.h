#pragma once

// Every bound the library puts on what a file can make it do, in one place.
// A bound hit on input is an error of the file ("Invalid Format"), never a
// crash, a hang or unbounded memory.

namespace corvina::limits {

// Words are read into buffers of this size (at most 255 bytes each).
constexpr int kTokenSize = 256;
// Arrays and dictionaries nested deeper than this while parsing are refused.
constexpr int kMaxParseNesting = 256;
// Duplication and the release/linearize walks follow references, where
// cycles are possible; they stop at this depth.
constexpr int kMaxWalkDepth = 1024;
// Page trees, name and number trees and typed copies of them: levels.
constexpr int kMaxTreeDepth = 64;
// Loads inside loads (a stream whose Length refers on to another object).
constexpr int kMaxLoadDepth = 8;
// A stream's Length that refers to an object that refers on.
constexpr int kMaxLengthDepth = 8;
// Releasing an object releases what it refers to, to this depth; the rest
// stays loaded and is written by Flush as usual.
constexpr int kMaxReleaseDepth = 64;
// White space and comments allowed around "endstream": after the data its
// Length gives, and before "endobj" (a bound that keeps data full of
// "endstream" inside one long comment from costing quadratic time).
constexpr int kMaxStreamGap = 256;
// "startxref" is looked for in this many bytes at the end of a file, where
// mail gateways and download tools leave bytes after "%%EOF".
constexpr int kStartXRefWindow = 1024;
// Object numbers and generations a cross-reference table may hold.
constexpr long kMaxObjNum = 8388607;
constexpr int kMaxGen = 65535;
// One row of a Flate predictor (Columns x Colors x BitsPerComponent), bytes.
constexpr long kMaxPredictorRow = 1L << 24;
// Field widths of a cross-reference stream row, bytes each.
constexpr int kMaxXRefFieldWidth = 8;
// Decoded object streams kept for the next object of the same stream.
constexpr int kObjStmCacheSlots = 8;
// Links of an object stream's /Extends chain followed before it counts as a loop.
constexpr int kMaxExtendsDepth = 64;
// Decoded image data (JPEG, fax) larger than this is refused before anything
// is allocated: the sizes come from the file, and a few bytes of fax or JPEG
// header can claim gigabytes.
constexpr long kMaxImageBytes = 512L << 20;
// Decoded object streams and cross-reference streams larger than this are
// refused: a few hundred bytes of nested Flate can expand to gigabytes, and
// real files keep both far smaller (8 million entries fit in 64 MiB).
constexpr int kMaxStructStreamBytes = 256 << 20;

}  // namespace corvina::limits
