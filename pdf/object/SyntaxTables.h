#pragma once

namespace corvina::detail {

// One text per byte value, as the writers put it out.
struct ByteTextTable {
    char text[256][5];
    unsigned char length[256];
};

// Names: the byte itself, or "#XX" for white space, delimiters, '#', '%',
// braces and bytes outside 0x21..0x7E.
extern const ByteTextTable kNameByteTable;
// Hexadecimal strings (and the ASCII hexadecimal encoder): two upper-case digits.
extern const ByteTextTable kHexByteTable;
// Literal strings: the byte itself, a backslash escape, or backslash and three
// octal digits for the other control and high bytes.
extern const ByteTextTable kLiteralByteTable;

}  // namespace corvina::detail
