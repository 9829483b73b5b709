#include "pdf/file/CPDFXRefRecovery.h"

#include <algorithm>
#include <cstring>

#include "pdf/file/CPDFXRef.h"
#include "pdf/io/DecimalText.h"
#include "pdf/io/InStream.h"
#include "pdf/io/Limits.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/Factors.h"

namespace corvina {

namespace {

constexpr char kEndStream[] = "endstream";
constexpr int kEndStreamLength = 9;
constexpr char kEndObj[] = "endobj";

[[noreturn]] void RaiseIo() {
    throw CPDFException("CPDFXRefRecovery", "Scan", CPDFException::InvalidFormat, factor::kIoError);
}

bool IsDigits(const char* text, int n) {
    if (n <= 0 || n > 10) return false;
    for (int i = 0; i < n; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

}  // namespace

struct CPDFXRefRecovery::Token {
    int kind;  // 1 unsigned integer, 2 word, 3 name
    const char* text;
    int length;
    int32_t offset;
};

void CPDFXRefRecovery::Scan(InStream& in) {
    if (in.Seek(0) != 0) RaiseIo();
    pos_ = 0;
    char text[limits::kTokenSize];
    for (;;) {
        const int c = in.Get();
        if (c < 0) break;
        const int32_t start = pos_++;
        if (InStream::IsWhitespace(c)) continue;
        if (c == '%') {
            // A comment runs to the line's end.
            for (int d = in.Peek(); d >= 0 && d != '\r' && d != '\n'; d = in.Peek()) {
                in.Get();
                ++pos_;
            }
            continue;
        }
        if (c == '(') {
            // A string, nested parentheses and escapes included. One left
            // open by damage would hide the rest of the file: it ends at the
            // first "endobj" met inside it.
            int nest = 1, matched = 0;
            while (nest > 0) {
                const int d = in.Get();
                if (d < 0) break;
                ++pos_;
                if (d == '\\') {
                    if (in.Get() >= 0) ++pos_;
                    matched = 0;
                    continue;
                }
                if (d == '(') ++nest;
                if (d == ')') --nest;
                matched = d == kEndObj[matched] ? matched + 1 : (d == kEndObj[0] ? 1 : 0);
                if (matched == 6) {
                    Token end{2, kEndObj, 6, pos_ - 6};
                    OnToken(in, end);
                    break;
                }
            }
            last_[0] = last_[1] = last_[2] = Recent{};
            continue;
        }
        if (c == '<') {
            if (in.Peek() == '<') {
                in.Get();
                ++pos_;
                ++depth_;
                afterType_ = afterLength_ = afterFilter_ = false;
                continue;
            }
            // A hex string: up to '>' or whatever cannot belong to one.
            for (int d = in.Peek(); d >= 0 && d != '>' && d != '<'; d = in.Peek()) {
                in.Get();
                ++pos_;
            }
            if (in.Peek() == '>') {
                in.Get();
                ++pos_;
            }
            last_[0] = last_[1] = last_[2] = Recent{};
            continue;
        }
        if (c == '>') {
            if (in.Peek() == '>') {
                in.Get();
                ++pos_;
                if (depth_ > 0) --depth_;
            }
            afterType_ = afterLength_ = afterFilter_ = false;
            last_[0] = last_[1] = last_[2] = Recent{};
            continue;
        }
        if (InStream::IsDelimiter(c) && c != '/') {
            afterType_ = afterLength_ = afterFilter_ = false;
            last_[0] = last_[1] = last_[2] = Recent{};
            continue;
        }
        // A name or a word: its regular bytes, the excess of a long one
        // skipped.
        int n = 0;
        if (c != '/') text[n++] = static_cast<char>(c);
        for (int d = in.Peek(); d >= 0; d = in.Peek()) {
            if (InStream::IsWhitespace(d) || InStream::IsDelimiter(d) || d == '%') break;
            in.Get();
            ++pos_;
            if (n < limits::kTokenSize - 1) text[n++] = static_cast<char>(d);
        }
        text[n] = 0;
        const int kind = c == '/' ? 3 : (IsDigits(text, n) ? 1 : 2);
        OnToken(in, Token{kind, text, n, start});
    }
    if (in.Error()) RaiseIo();
    Finish();
}

void CPDFXRefRecovery::OnToken(InStream& in, const Token& token) {
    ++tokenCount_;
    const bool wasType = afterType_, wasLength = afterLength_, wasFilter = afterFilter_;
    afterType_ = afterLength_ = afterFilter_ = false;
    if (token.kind == 3) {
        if (depth_ == 1 && current_.objNum > 0) {
            afterType_ = std::strcmp(token.text, "Type") == 0;
            afterLength_ = std::strcmp(token.text, "Length") == 0;
            afterFilter_ = std::strcmp(token.text, "Filter") == 0;
            if (wasFilter && std::strcmp(token.text, "Standard") == 0)
                encrypts_.push_back(current_);
            if (wasType) {
                std::vector<Found>* list = nullptr;
                if (std::strcmp(token.text, "XRef") == 0) list = &xrefStreams_;
                if (std::strcmp(token.text, "ObjStm") == 0) list = &objStms_;
                if (std::strcmp(token.text, "Catalog") == 0) list = &catalogs_;
                if (list) list->push_back(current_);
            }
        }
    } else if (token.kind == 1) {
        if (wasLength) {
            length_ = detail::ParseDecimal(token.text);
            lengthToken_ = tokenCount_;
        }
    } else if (std::strcmp(token.text, "obj") == 0) {
        // "num gen obj": the two tokens before are unsigned integers.
        if (last_[1].kind == 1 && last_[2].kind == 1 && last_[1].value >= 1 &&
            last_[1].value <= limits::kMaxObjNum && last_[2].value <= limits::kMaxGen) {
            current_ = Found{static_cast<int32_t>(last_[1].value),
                             static_cast<int32_t>(last_[2].value), last_[1].offset};
            objects_.push_back(current_);
            depth_ = 0;
            length_ = -1;
        }
    } else if (std::strcmp(token.text, "R") == 0) {
        // "/Length 12 0 R": the Length is not known here.
        if (lengthToken_ == tokenCount_ - 2) length_ = -1;
    } else if (std::strcmp(token.text, "stream") == 0) {
        OnStream(in);
    } else if (std::strcmp(token.text, kEndObj) == 0) {
        current_ = Found{-1, 0, -1};
        depth_ = 0;
        length_ = -1;
    } else if (std::strcmp(token.text, "trailer") == 0) {
        trailer_ = pos_;
        current_ = Found{-1, 0, -1};
        depth_ = 0;
    }
    last_[0] = last_[1];
    last_[1] = last_[2];
    last_[2] =
        Recent{token.kind, token.kind == 1 ? detail::ParseDecimal(token.text) : 0, token.offset};
}

void CPDFXRefRecovery::OnStream(InStream& in) {
    // The data begins after the line end that follows the keyword.
    int c = in.Peek();
    if (c == '\r') {
        in.Get();
        ++pos_;
        c = in.Peek();
    }
    if (c == '\n') {
        in.Get();
        ++pos_;
    }
    const int32_t data = pos_;
    const int32_t fileLength = in.Length();
    if (length_ >= 0 && length_ <= fileLength - data) {
        // Trusted when "endstream" follows the data, after white space.
        int32_t at = data + static_cast<int32_t>(length_);
        if (in.Seek(at) != 0) RaiseIo();
        for (c = in.Peek(); c >= 0 && InStream::IsWhitespace(c); c = in.Peek()) {
            in.Get();
            ++at;
        }
        char word[kEndStreamLength];
        if (in.Read(word, kEndStreamLength) == kEndStreamLength &&
            std::memcmp(word, kEndStream, kEndStreamLength) == 0) {
            pos_ = at + kEndStreamLength;
            if (in.Seek(pos_) != 0) RaiseIo();
            return;
        }
    }
    if (in.Seek(data) != 0) RaiseIo();
    const int end = in.Search(kEndStream, kEndStreamLength);
    // No end at all: the file was cut inside the data.
    pos_ = end < 0 ? fileLength : end + kEndStreamLength;
    if (in.Seek(pos_) != 0) RaiseIo();
}

void CPDFXRefRecovery::Finish() {
    // The last definition of each number: stable order keeps the file's.
    std::stable_sort(objects_.begin(), objects_.end(),
                     [](const Found& a, const Found& b) { return a.objNum < b.objNum; });
    std::vector<Found> unique;
    for (size_t i = 0; i < objects_.size(); ++i)
        if (i + 1 == objects_.size() || objects_[i + 1].objNum != objects_[i].objNum)
            unique.push_back(objects_[i]);
    objects_.swap(unique);
    std::vector<Found>().swap(unique);
    auto kept = [this](const Found& f) {
        auto it = std::lower_bound(objects_.begin(), objects_.end(), f.objNum,
                                   [](const Found& a, int32_t n) { return a.objNum < n; });
        return it != objects_.end() && it->objNum == f.objNum && it->offset == f.offset;
    };
    for (auto* list : {&xrefStreams_, &objStms_, &catalogs_, &encrypts_})
        list->erase(
            std::remove_if(list->begin(), list->end(), [&](const Found& f) { return !kept(f); }),
            list->end());
}

bool CPDFXRefRecovery::Fill(CPDFXRef& xref) const {
    if (!xref.Create(nullptr, nullptr)) return false;
    const int32_t highest = objects_.empty() ? 0 : objects_.back().objNum;
    if (!xref.Resize(highest) || !xref.Reserve(highest)) return false;
    for (const Found& f : objects_)
        if (!xref.SetEntry(XRefEntry{f.objNum, f.genNum, f.offset, true})) return false;
    return true;
}

}  // namespace corvina
