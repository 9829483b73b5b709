#include "pdf/object/SyntaxTables.h"

namespace corvina::detail {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

constexpr void Put(ByteTextTable& t, int b, const char* text) {
    int n = 0;
    while (text[n]) {
        t.text[b][n] = text[n];
        ++n;
    }
    t.text[b][n] = 0;
    t.length[b] = static_cast<unsigned char>(n);
}

constexpr void PutByte(ByteTextTable& t, int b) {
    const char text[2] = {static_cast<char>(b), 0};
    Put(t, b, text);
    t.length[b] = 1;  // also right for the zero byte
}

constexpr bool IsNameEscaped(int b) {
    if (b <= 0x20 || b >= 0x7F) return true;
    switch (b) {
        case '#':
        case '%':
        case '(':
        case ')':
        case '/':
        case '<':
        case '>':
        case '[':
        case ']':
        case '{':
        case '}':
            return true;
        default:
            return false;
    }
}

constexpr ByteTextTable MakeNameTable() {
    ByteTextTable t{};
    for (int b = 0; b < 256; ++b) {
        if (IsNameEscaped(b)) {
            const char text[4] = {'#', kHexDigits[b >> 4], kHexDigits[b & 15], 0};
            Put(t, b, text);
        } else {
            PutByte(t, b);
        }
    }
    return t;
}

constexpr ByteTextTable MakeHexTable() {
    ByteTextTable t{};
    for (int b = 0; b < 256; ++b) {
        const char text[3] = {kHexDigits[b >> 4], kHexDigits[b & 15], 0};
        Put(t, b, text);
    }
    return t;
}

constexpr ByteTextTable MakeLiteralTable() {
    ByteTextTable t{};
    for (int b = 0; b < 256; ++b) {
        switch (b) {
            case 0x08:
                Put(t, b, "\\b");
                break;
            case 0x09:
                Put(t, b, "\\t");
                break;
            case 0x0A:
                Put(t, b, "\\n");
                break;
            case 0x0C:
                Put(t, b, "\\f");
                break;
            case 0x0D:
                Put(t, b, "\\r");
                break;
            case '(':
                Put(t, b, "\\(");
                break;
            case ')':
                Put(t, b, "\\)");
                break;
            case '\\':
                Put(t, b, "\\\\");
                break;
            default:
                if (b < 0x20 || b >= 0x7F) {
                    const char text[5] = {'\\', static_cast<char>('0' + (b >> 6)),
                                          static_cast<char>('0' + ((b >> 3) & 7)),
                                          static_cast<char>('0' + (b & 7)), 0};
                    Put(t, b, text);
                } else {
                    PutByte(t, b);
                }
        }
    }
    return t;
}

}  // namespace

constinit const ByteTextTable kNameByteTable = MakeNameTable();
constinit const ByteTextTable kHexByteTable = MakeHexTable();
constinit const ByteTextTable kLiteralByteTable = MakeLiteralTable();

}  // namespace corvina::detail
