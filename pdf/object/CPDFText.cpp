#include "pdf/object/CPDFText.h"

#include <new>
#include <string>

#include "pdf/object/CP932.h"
#include "pdf/object/SyntaxSupport.h"

namespace corvina {

void CPDFText::Serialize(OutStream& out, CryptKey crypt) {
    WriteBytes(out, crypt, !IsUnicode());
}

std::unique_ptr<CPDFObject> CPDFText::Duplicate(CPDFObjHolder*, CPDFObjHolder*) const {
    auto copy = std::unique_ptr<CPDFText>(new (std::nothrow) CPDFText());
    if (!copy) return nullptr;
    copy->CopyFlags(*this);
    if (!copy->Assign(Text(), Length())) return nullptr;
    copy->literal_ = literal_;
    return copy;
}

bool CPDFText::Load(CPDFObjHolder*, const CPDFString& plain) {
    // The form as read goes along, so a copy can be written as it was.
    literal_ = plain.IsLiteral();
    return Assign(plain.Text(), plain.Length());
}

bool CPDFText::IsUnicode() const {
    const auto* b = reinterpret_cast<const unsigned char*>(Text());
    return Length() >= 2 && b[0] == 0xFE && b[1] == 0xFF;
}

const char16_t* CPDFText::GetUnicode() {
    wide_.reset();
    wideLength_ = 0;
    try {
        if (IsUnicode()) {
            const auto* b = reinterpret_cast<const unsigned char*>(Text());
            const int n = (Length() - 2) / 2;  // an odd last byte is ignored
            wide_ = std::make_unique<char16_t[]>(static_cast<size_t>(n) + 1);
            for (int k = 0; k < n; ++k)
                wide_[k] = static_cast<char16_t>((b[2 + 2 * k] << 8) | b[3 + 2 * k]);
            wide_[n] = 0;
            wideLength_ = n;
        } else {
            std::u16string converted;
            if (!detail::CP932ToUTF16(Text(), static_cast<size_t>(Length()), converted))
                return nullptr;
            wide_ = std::make_unique<char16_t[]>(converted.size() + 1);
            converted.copy(wide_.get(), converted.size());
            wide_[converted.size()] = 0;
            wideLength_ = static_cast<int>(converted.size());
        }
    } catch (const std::bad_alloc&) {
        wide_.reset();
        wideLength_ = 0;
        return nullptr;
    }
    return wide_.get();
}

void CPDFText::SetUnicode(const char16_t* wide) {
    int length = 0;
    if (wide)
        while (wide[length]) ++length;
    SetUnicode(wide, length);
}

void CPDFText::SetUnicode(const char16_t* wide, int length) {
    wide_.reset();
    wideLength_ = 0;
    if (!wide || length < 0) length = 0;
    detail::ByteBuffer bytes;
    if (!bytes.Reserve(2 + 2 * length + 1)) {
        Clear();
        return;
    }
    bytes.Append('\xFE', 1);
    bytes.Append('\xFF', 1);
    for (int k = 0; k < length; ++k) {
        bytes.Append(static_cast<char>(wide[k] >> 8), 1);
        bytes.Append(static_cast<char>(wide[k] & 0xFF), 1);
    }
    Assign(bytes.Text(), bytes.Length());
}

}  // namespace corvina
