#include "pdf/object/CP932.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace corvina::detail {

namespace {

// One converter per thread: iconv descriptors carry state and are not shared.
struct Converter {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    bool tried = false;
    ~Converter() {
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
    iconv_t Get() {
        if (!tried) {
            tried = true;
            cd = iconv_open("UTF-16LE", "CP932");
        }
        return cd;
    }
};

thread_local Converter tConverter;

}  // namespace

bool CP932Available() {
    return tConverter.Get() != reinterpret_cast<iconv_t>(-1);
}

bool CP932ToUTF16(const char* bytes, size_t n, std::u16string& out) {
    out.clear();
    if (!bytes) return true;
    const size_t len = strnlen(bytes, n);
    if (len == 0) return true;
    iconv_t cd = tConverter.Get();
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    // Every code page 932 character is one or two bytes and one UTF-16 unit.
    std::vector<char> wide(len * 2 + 4);
    char* in = const_cast<char*>(bytes);
    size_t inLeft = len;
    char* dst = wide.data();
    size_t outLeft = wide.size();
    if (iconv(cd, &in, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1)) return false;
    if (iconv(cd, nullptr, nullptr, &dst, &outLeft) == static_cast<size_t>(-1)) return false;
    const size_t produced = wide.size() - outLeft;
    out.resize(produced / 2);
    for (size_t k = 0; k < out.size(); ++k) {
        const auto lo = static_cast<unsigned char>(wide[2 * k]);
        const auto hi = static_cast<unsigned char>(wide[2 * k + 1]);
        out[k] = static_cast<char16_t>(lo | (hi << 8));
    }
    return true;
}

}  // namespace corvina::detail
