#pragma once

#include <iconv.h>

#include <string>

// Text from the command line, in the encoding of the user's locale (after
// setlocale(LC_ALL, "")): UTF-8 under C and POSIX, code page 932 where the
// locale says Shift-JIS, any other codeset through iconv. Owns its converter;
// one object per thread.
class CLocaleText {
public:
    // The codeset names: the locale's (nl_langinfo) when null.
    explicit CLocaleText(const char* codeset = nullptr);
    ~CLocaleText();
    CLocaleText(const CLocaleText&) = delete;
    CLocaleText& operator=(const CLocaleText&) = delete;

    // The codeset the process's locale names, as iconv is to read it.
    static std::string LocaleCodeset();

    // The iconv name of what the object reads.
    const std::string& Codeset() const { return codeset_; }
    // False, leaving out empty, when the bytes are not text of the codeset
    // (an invalid or cut sequence) or no converter could be opened.
    bool ToUTF16(const std::string& bytes, std::u16string& out);

private:
    std::string codeset_;
    iconv_t cd_;
    // ASCII bytes stand for themselves in the codeset: most names need no call.
    bool asciiIdentity_ = false;
};
