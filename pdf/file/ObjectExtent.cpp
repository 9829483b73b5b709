#include "pdf/file/ObjectExtent.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "pdf/io/InStream.h"
#include "pdf/io/Limits.h"
#include "pdf/stream/CPDFStream.h"

namespace corvina::detail {
namespace {

constexpr int kEndStreamLength = 9;  // "endstream"
// Items kept of an object's top level ("n g R" at most) and of its top
// dictionary; a dictionary with more keys is loaded the ordinary way.
constexpr size_t kMaxTopItems = 3;
constexpr size_t kMaxDictItems = 8192;
// Items the reused lists keep room for between calls; one huge dictionary
// does not hold its memory for the rest of the run.
constexpr size_t kKeptItems = 1024;

enum CharClass : unsigned char { kRegular = 1, kSpace = 2 };

// Every byte read goes through these, so they are one table lookup. NUL is
// in neither class on purpose: where the reader's words may hold it, the
// object is not carried over as it is.
struct CharTable {
    unsigned char of[256] = {};
    constexpr CharTable() {
        for (int c = 1; c < 256; ++c) of[c] = kRegular;
        for (const char c : {'\t', '\n', '\f', '\r', ' '})
            of[static_cast<unsigned char>(c)] = kSpace;
        for (const char c : {'(', ')', '<', '>', '[', ']', '{', '}', '/', '%'})
            of[static_cast<unsigned char>(c)] = 0;
    }
};
constexpr CharTable kChars;

bool IsSpace(int c) {
    return c >= 0 && kChars.of[c] == kSpace;
}

bool IsRegular(int c) {
    return c >= 0 && kChars.of[c] == kRegular;
}

// What one word or container is, as the top level of a dictionary needs it.
struct Item {
    enum Kind : char { Name, Whole, Ref, Other } kind;
    bool isLength = false;  // the name /Length, spelt plainly
    // A name's first bytes (as many as text holds) and its whole length.
    char text[16] = {};
    int length = 0;
    bool escaped = false;  // a name with # escapes: its meaning is not read here
    long value = 0;        // a whole number's value; a reference's object number
    long gen = 0;          // a reference's generation
};

// Reads a window of the stream's buffer, which holds the whole head of most
// objects: a byte costs a pointer compare, not a refill check. Running into
// the window's end is not the end of the data; it is noted, and the head is
// read again through the stream.
class WindowCursor {
public:
    WindowCursor(const char* bytes, int n) : begin_(bytes), p_(bytes), end_(bytes + n) {}
    int Peek() {
        if (p_ < end_) return static_cast<unsigned char>(*p_);
        hitEnd_ = true;
        return -1;
    }
    int Get() {
        if (p_ < end_) return static_cast<unsigned char>(*p_++);
        hitEnd_ = true;
        return -1;
    }
    int Next() {
        if (p_ < end_) ++p_;
        return Peek();
    }
    // The run of regular bytes that comes next, consumed: its length (at most
    // limits::kTokenSize, which is too long for any word), its first keep
    // bytes copied to dst, and whether it holds a '#'. The loop only reads,
    // so the position stays in a register.
    int Regular(char* dst, int keep, bool* hash) {
        const char* q = p_;
        const char* stop = end_ - p_ > limits::kTokenSize ? p_ + limits::kTokenSize : end_;
        while (q < stop && kChars.of[static_cast<unsigned char>(*q)] == kRegular) ++q;
        if (q == end_) hitEnd_ = true;  // the run may go on past the window
        const int n = static_cast<int>(q - p_);
        std::memcpy(dst, p_, static_cast<size_t>(n < keep ? n : keep));
        if (std::memchr(p_, '#', static_cast<size_t>(n))) *hash = true;
        p_ = q;
        return n;
    }
    void Spaces() {
        const char* q = p_;
        while (q < end_ && kChars.of[static_cast<unsigned char>(*q)] == kSpace) ++q;
        if (q == end_) hitEnd_ = true;
        p_ = q;
    }
    bool HitEnd() const { return hitEnd_; }
    int Consumed() const { return static_cast<int>(p_ - begin_); }

private:
    const char* begin_;
    const char* p_;
    const char* end_;
    bool hitEnd_ = false;
};

// Reads through the stream, refilling its buffer as needed.
class StreamCursor {
public:
    explicit StreamCursor(InStream& in) : in_(in) {}
    int Peek() { return in_.Peek(); }
    int Get() { return in_.Get(); }
    int Next() { return in_.Next(); }
    // As WindowCursor's, byte by byte.
    int Regular(char* dst, int keep, bool* hash) {
        int n = 0;
        for (int c = in_.Peek(); IsRegular(c) && n < limits::kTokenSize; c = in_.Next()) {
            if (n < keep) dst[n] = static_cast<char>(c);
            if (c == '#') *hash = true;
            ++n;
        }
        return n;
    }
    void Spaces() {
        while (IsSpace(in_.Peek())) in_.Get();
    }

private:
    InStream& in_;
};

template <class Cursor>
class Scanner {
public:
    explicit Scanner(Cursor& in) : in_(in) {}

    void SkipGap() {
        for (;;) {
            in_.Spaces();
            int c = in_.Peek();
            if (c != '%') break;
            while (c >= 0 && c != '\r' && c != '\n') c = in_.Next();
        }
    }

    // A run of regular characters of at most limits::kTokenSize - 1 bytes;
    // false for an empty or longer one.
    bool Word(char* word) {
        bool hash = false;
        const int n = in_.Regular(word, limits::kTokenSize - 1, &hash);
        if (n > limits::kTokenSize - 1) return false;
        word[n] = 0;
        return n > 0;
    }

    // The body of an object up to the word that ends it ("endobj" or
    // "stream"), which is left in word. The items of the top level, and of
    // the top level dictionary when there is one, are kept.
    bool Body(char* word, std::vector<Item>& top, std::vector<Item>& dict) {
        // Open containers: '[' or '<'; only the top one matters for items.
        char open[limits::kMaxParseNesting + 1];
        int depth = 0;
        for (;;) {
            SkipGap();
            const int c = in_.Peek();
            if (c < 0) return false;
            Item item{Item::Other};
            if (c == '[' || c == '<') {
                in_.Get();
                if (c == '<' && in_.Peek() != '<') {
                    if (!HexString()) return false;
                } else {
                    if (c == '<') in_.Get();
                    if (depth == limits::kMaxParseNesting) return false;
                    open[depth++] = static_cast<char>(c);
                    continue;
                }
            } else if (c == ']' || c == '>') {
                in_.Get();
                if (c == '>' && in_.Get() != '>') return false;
                if (depth == 0 || open[depth - 1] != (c == ']' ? '[' : '<')) return false;
                --depth;
                if (depth == 0 && c == '>' && top.empty()) {
                    // The object's own dictionary ends: its items are read.
                    top.push_back(Item{Item::Other});
                    topIsDict_ = true;
                    continue;
                }
            } else if (c == '(') {
                in_.Get();
                if (!String()) return false;
            } else if (c == '/') {
                in_.Get();
                item.kind = Item::Name;
                const int n =
                    in_.Regular(item.text, static_cast<int>(sizeof item.text), &item.escaped);
                if (n >= limits::kTokenSize - 1) return false;
                item.length = n;
                item.isLength = n == 6 && std::memcmp(item.text, "Length", 6) == 0;
            } else if (IsRegular(c)) {
                if (!Word(word)) return false;
                if (depth == 0 &&
                    (std::strcmp(word, "endobj") == 0 || std::strcmp(word, "stream") == 0))
                    return true;
                if (!Keyword(word, &item)) return false;
            } else {
                // '{', '}', ')' or NUL outside a string.
                return false;
            }
            if (depth == 1 && open[0] == '<') {
                if (!Add(dict, item, kMaxDictItems)) return false;
            } else if (depth == 0) {
                if (!Add(top, item, kMaxTopItems)) return false;
            }
        }
    }

    bool TopIsDict() const { return topIsDict_; }

private:
    // A whole number, a real, true, false, null or R; anything else in an
    // object is a broken one.
    static bool Keyword(const char* word, Item* item) {
        const char first = word[0];
        const bool numeric =
            (first >= '0' && first <= '9') || first == '+' || first == '-' || first == '.';
        if (!numeric) {
            if (first == 'R' && word[1] == 0) {
                item->kind = Item::Ref;
                return true;
            }
            return !std::strcmp(word, "true") || !std::strcmp(word, "false") ||
                   !std::strcmp(word, "null");
        }
        const char* p = word;
        if (*p == '+' || *p == '-') ++p;
        int digits = 0, dots = 0;
        long value = 0;
        for (; *p; ++p) {
            if (*p == '.') {
                ++dots;
            } else if (*p >= '0' && *p <= '9') {
                if (++digits <= 10) value = value * 10 + (*p - '0');
            } else {
                return false;
            }
        }
        if (digits == 0 || dots > 1) return false;
        if (dots == 0 && word[0] != '-' && word[0] != '+' && digits <= 10) {
            item->kind = Item::Whole;
            item->value = value;
        }
        return true;
    }

    // A reference folds the two whole numbers before its R into one item.
    static bool Add(std::vector<Item>& items, const Item& item, size_t most) {
        if (item.kind != Item::Ref) {
            if (items.size() == most) return false;
            items.push_back(item);
            return true;
        }
        const size_t n = items.size();
        if (n < 2 || items[n - 1].kind != Item::Whole || items[n - 2].kind != Item::Whole)
            return false;
        Item folded = item;
        folded.value = items[n - 2].value;
        folded.gen = items[n - 1].value;
        items.pop_back();
        items.back() = folded;
        return true;
    }

    // After '(': balanced parentheses, a backslash taking the next byte.
    bool String() {
        int open = 1;
        for (;;) {
            const int c = in_.Get();
            if (c < 0) return false;
            if (c == '\\') {
                if (in_.Get() < 0) return false;
            } else if (c == '(') {
                ++open;
            } else if (c == ')' && --open == 0) {
                return true;
            }
        }
    }

    // After '<': hexadecimal digits and white space up to '>'.
    bool HexString() {
        for (;;) {
            const int c = in_.Get();
            if (c == '>') return true;
            const bool hex =
                (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            if (!hex && !IsSpace(c)) return false;
        }
    }

    Cursor& in_;
    bool topIsDict_ = false;
};

// True when the word just read ends where the reader's word would.
template <class Cursor>
bool Bounded(Cursor& in) {
    const int c = in.Peek();
    return c < 0 || InStream::IsWhitespace(c) || InStream::IsDelimiter(c) || c == '%' || c == 0;
}

// Names at the keys' places and a value for each: what the reader would take
// without dropping or repairing anything.
bool WellFormedDict(const std::vector<Item>& dict) {
    if (dict.size() % 2 != 0) return false;
    for (size_t i = 0; i < dict.size(); i += 2)
        if (dict[i].kind != Item::Name) return false;
    return true;
}

// The top dictionary's Type when it is a plain name short enough to keep; ""
// when there is none; nothing when it cannot be told here.
std::optional<std::string> TypeOf(const std::vector<Item>& dict) {
    const Item* value = nullptr;
    for (size_t i = 0; i < dict.size(); i += 2) {
        if (dict[i].escaped) return std::nullopt;
        if (dict[i].length != 4 || std::memcmp(dict[i].text, "Type", 4) != 0) continue;
        if (value) return std::nullopt;
        value = &dict[i + 1];
    }
    if (!value) return std::string();
    if (value->kind != Item::Name || value->escaped ||
        value->length > static_cast<int>(sizeof value->text))
        return std::nullopt;
    return std::string(value->text, static_cast<size_t>(value->length));
}

// The Length of a well-formed stream dictionary's items: a whole number,
// given directly or by a reference the resolver follows.
std::optional<int32_t> StreamLength(const std::vector<Item>& dict,
                                    const LengthResolver& resolveLength) {
    const Item* value = nullptr;
    for (size_t i = 0; i < dict.size(); i += 2) {
        if (dict[i].escaped) return std::nullopt;
        if (!dict[i].isLength) continue;
        // Which of two the reader keeps is its own affair.
        if (value) return std::nullopt;
        value = &dict[i + 1];
    }
    if (!value) return std::nullopt;
    if (value->kind == Item::Whole && value->value <= INT32_MAX)
        return static_cast<int32_t>(value->value);
    if (value->kind == Item::Ref && resolveLength && value->value <= INT32_MAX &&
        value->gen <= INT32_MAX)
        return resolveLength(
            CPDFObjRef(static_cast<int32_t>(value->value), static_cast<int32_t>(value->gen)));
    return std::nullopt;
}

// From "num gen obj" to the word that ends the body (left in word) and,
// after "stream", its line end.
template <class Cursor>
bool ScanHead(Cursor& in, const CPDFObjRef& ref, char* word, std::vector<Item>& top,
              std::vector<Item>& dict, bool* topIsDict) {
    Scanner<Cursor> scan(in);
    // "num gen obj", the numbers plain decimal and equal to ref's.
    for (const long expected : {static_cast<long>(ref.objNum), static_cast<long>(ref.genNum)}) {
        if (!scan.Word(word) || std::strlen(word) > 10) return false;
        long value = 0;
        for (const char* p = word; *p; ++p) {
            if (*p < '0' || *p > '9') return false;
            value = value * 10 + (*p - '0');
        }
        if (value != expected || !IsSpace(in.Peek())) return false;
        scan.SkipGap();
    }
    if (!scan.Word(word) || std::strcmp(word, "obj") != 0) return false;
    if (!scan.Body(word, top, dict) || top.size() != 1 || !Bounded(in)) return false;
    *topIsDict = scan.TopIsDict();
    if (scan.TopIsDict() && !WellFormedDict(dict)) return false;
    if (std::strcmp(word, "stream") == 0) {
        if (!scan.TopIsDict()) return false;
        const int c = in.Get();
        if (c == '\r') {
            if (in.Peek() == '\n') in.Get();
        } else if (c != '\n') {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ScanObjectExtent(InStream& in, int offset, const CPDFObjRef& ref,
                      const LengthResolver& resolveLength, ObjectExtent* extent) {
    if (offset < 0 || in.Seek(offset) != 0) return false;
    char word[limits::kTokenSize];
    // Kept from call to call: most objects are read without allocating.
    thread_local std::vector<Item> top, dict;
    auto clear = [] {
        top.clear();
        dict.clear();
        if (dict.capacity() > kKeptItems) dict.shrink_to_fit();
    };
    bool topIsDict = false;
    bool read = false;
    int n = 0;
    if (const char* window = in.Window(&n)) {
        clear();
        WindowCursor cursor(window, n);
        const bool ok = ScanHead(cursor, ref, word, top, dict, &topIsDict);
        // Every byte it looked at was in the window: the stream would read
        // the same and decide the same.
        if (!cursor.HitEnd()) {
            if (!ok) return false;
            in.Skip(cursor.Consumed());
            read = true;
        }
    }
    if (!read) {
        if (in.Seek(offset) != 0) return false;
        clear();
        StreamCursor cursor(in);
        if (!ScanHead(cursor, ref, word, top, dict, &topIsDict)) return false;
    }
    if (std::strcmp(word, "stream") == 0) {
        const int start = in.Tell();
        // Resolving may move the stream; the data is found from start.
        const std::optional<int32_t> length = StreamLength(dict, resolveLength);
        if (!length) return false;
        const int end = start < 0 ? -1 : CPDFStream::EndAfter(in, start, *length);
        if (end < 0 || in.Seek(end + kEndStreamLength) != 0) return false;
        StreamCursor cursor(in);
        Scanner<StreamCursor> scan(cursor);
        scan.SkipGap();
        if (!scan.Word(word) || std::strcmp(word, "endobj") != 0 || !Bounded(cursor)) return false;
    }
    if (topIsDict) extent->type = TypeOf(dict);
    extent->begin = offset;
    extent->end = in.Tell();
    return extent->end > offset;
}

}  // namespace corvina::detail
