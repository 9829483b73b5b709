#include "pdf/object/CPDFException.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace corvina {

CPDFException::CPDFException(const char* module, const char* method, int type, const char* factor) {
    Set(module, method, type, factor);
}

void CPDFException::Set(const char* module, const char* method, int type, const char* factor) {
    const int savedErrno = errno;
    module_ = module ? module : "";
    method_ = method ? method : "";
    type_ = type;
    if (factor) {
        factor_ = factor;
        return;
    }
    factor_.clear();
    // Both system categories take the C library's text: on this platform the
    // operating system's last error is errno.
    if ((type == RuntimeLibraryError || type == SystemError) && savedErrno != 0) {
        const char* text = std::strerror(savedErrno);
        if (text) factor_ = text;
    }
}

const char* CPDFException::TypeText(int type) {
    static const char* const kTexts[] = {"Runtime Library Error", "System Error", "User Error",
                                         "Invalid Format", "Internal Error"};
    if (type < 1 || type > 5) return "";
    return kTexts[type - 1];
}

std::string FormatFactor(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string PathFactor(const std::string& path, int err) {
    return FormatFactor("%s: %s", path.c_str(), std::strerror(err ? err : EIO));
}

}  // namespace corvina
