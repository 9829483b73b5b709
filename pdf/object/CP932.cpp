#include "pdf/object/CP932.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace corvina::detail {

namespace {

// One converter per thread: iconv descriptors carry shift state and must not
// be shared between threads.
class Converter {
public:
    Converter() : cd_(iconv_open("UTF-16LE", "CP932")) {
        if (!Ok()) return;
        // Whether every byte below 0x80 stands for itself, as it does in the
        // usual tables (0x5C is the reverse solidus); names made from a
        // format are nearly always such bytes, and need no call then.
        char in[127];
        for (int i = 0; i < 127; ++i) in[i] = static_cast<char>(i + 1);
        char out[254];
        char* inPtr = in;
        char* outPtr = out;
        size_t inLeft = sizeof in, outLeft = sizeof out;
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
            inLeft == 0 && outLeft == 0) {
            asciiIdentity_ = true;
            for (int i = 0; i < 127; ++i)
                if (out[2 * i] != in[i] || out[2 * i + 1] != 0) asciiIdentity_ = false;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    ~Converter() {
        if (Ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return cd_; }
    bool AsciiIdentity() const { return asciiIdentity_; }

private:
    iconv_t cd_;
    bool asciiIdentity_ = false;
};

Converter& ThreadConverter() {
    thread_local Converter converter;
    return converter;
}

}  // namespace

bool CP932Available() {
    return ThreadConverter().Ok();
}

bool CP932ToUTF16(const char* bytes, size_t n, std::u16string& out) {
    out.clear();
    Converter& converter = ThreadConverter();
    if (!converter.Ok()) return false;
    if (!bytes) return true;

    const size_t length = strnlen(bytes, n);
    if (length == 0) return true;

    if (converter.AsciiIdentity()) {
        size_t i = 0;
        while (i < length && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
        if (i == length) {
            out.assign(bytes, bytes + length);
            return true;
        }
    }

    iconv_t cd = converter.Get();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    // Code page 932 maps each character (one or two bytes) to one UTF-16 unit,
    // so two bytes per input byte suffice; grow anyway should that ever change.
    std::vector<char> buffer(length * 2 + 2);
    char* in = const_cast<char*>(bytes);
    size_t inLeft = length;
    size_t used = 0;
    while (inLeft != 0) {
        char* outPtr = buffer.data() + used;
        size_t outLeft = buffer.size() - used;
        const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        used = buffer.size() - outLeft;
        if (rc != static_cast<size_t>(-1)) break;
        if (errno != E2BIG) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
    if (inLeft != 0) return false;

    const size_t produced = used;
    out.reserve(produced / 2);
    for (size_t i = 0; i + 1 < produced; i += 2) {
        const auto low = static_cast<unsigned char>(buffer[i]);
        const auto high = static_cast<unsigned char>(buffer[i + 1]);
        out.push_back(static_cast<char16_t>(low | (high << 8)));
    }
    return true;
}

}  // namespace corvina::detail
