#include "tool/CLocaleText.h"

#include <langinfo.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <vector>

namespace {

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

}  // namespace

std::string CLocaleText::LocaleCodeset() {
    const char* name = nl_langinfo(CODESET);
    const std::string codeset = Upper(name ? name : "");
    // The C and POSIX locales name plain ASCII; command lines there are
    // UTF-8 in practice.
    if (codeset.empty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" ||
        codeset == "US-ASCII")
        return "UTF-8";
    // Shift-JIS as Japanese systems write it: code page 932, with its
    // extensions, which is how names have always been read.
    if (codeset == "SHIFT_JIS" || codeset == "SHIFT-JIS" || codeset == "SJIS" ||
        codeset == "WINDOWS-31J" || codeset == "CP932" || codeset == "MS_KANJI")
        return "CP932";
    return name;
}

CLocaleText::CLocaleText(const char* codeset)
    : codeset_(codeset ? codeset : LocaleCodeset()), cd_(iconv_open("UTF-16LE", codeset_.c_str())) {
    if (cd_ == kNoConverter) return;
    char in[127];
    for (int i = 0; i < 127; ++i) in[i] = static_cast<char>(i + 1);
    char out[2 * sizeof in];
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = sizeof in, outLeft = sizeof out;
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && inLeft == 0 &&
        outLeft == 0) {
        asciiIdentity_ = true;
        for (int i = 0; i < 127; ++i)
            if (out[2 * i] != in[i] || out[2 * i + 1] != 0) asciiIdentity_ = false;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
}

CLocaleText::~CLocaleText() {
    if (cd_ != kNoConverter) iconv_close(cd_);
}

bool CLocaleText::ToUTF16(const std::string& bytes, std::u16string& out) {
    out.clear();
    if (cd_ == kNoConverter) return false;
    if (asciiIdentity_ && std::all_of(bytes.begin(), bytes.end(), [](char c) { return c > 0; })) {
        out.assign(bytes.begin(), bytes.end());
        return true;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> buffer(4 * bytes.size() + 8);
    char* inPtr = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    // Every byte must convert: a sequence left over at the end is cut text.
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0 ||
        iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1))
        return false;
    const size_t units = (buffer.size() - outLeft) / 2;
    out.resize(units);
    for (size_t i = 0; i < units; ++i) {
        const auto lo = static_cast<unsigned char>(buffer[2 * i]);
        const auto hi = static_cast<unsigned char>(buffer[2 * i + 1]);
        out[i] = static_cast<char16_t>(lo | (hi << 8));
    }
    return true;
}
