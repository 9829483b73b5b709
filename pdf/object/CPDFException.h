#pragma once

#include <string>

#include "pdf/io/CorvinaApi.h"

namespace corvina {

// The one error record of the library. Deep code throws it (by value); every
// public document operation catches it at its boundary and keeps the first one
// in the document's last-error record.
class CORVINA_API CPDFException {
public:
    enum Type {
        NoError = 0,
        RuntimeLibraryError = 1,
        SystemError = 2,
        UserError = 3,
        InvalidFormat = 4,
        InternalError = 5,
    };

    CPDFException() = default;
    // A null factor takes the system's text for errno with types 1 and 2.
    CPDFException(const char* module, const char* method, int type, const char* factor);
    CPDFException(const CPDFException&) = default;
    CPDFException& operator=(const CPDFException&) = default;
    virtual ~CPDFException() = default;

    void Set(const char* module, const char* method, int type, const char* factor);
    bool IsEmpty() const { return type_ == NoError; }
    // Only the type is reset; the old texts stay readable.
    void Clear() { type_ = NoError; }

    const char* GetModule() const { return module_.c_str(); }
    const char* GetMethod() const { return method_.c_str(); }
    int GetType() const { return type_; }
    const char* GetFactor() const { return factor_.c_str(); }

    // "Runtime Library Error" ... "Internal Error"; "" outside 1..5.
    static const char* TypeText(int type);

private:
    std::string module_;
    std::string method_;
    int type_ = NoError;
    std::string factor_;
};

// Formats a factor the way the raise sites do: printf into 1024 bytes.
CORVINA_API std::string FormatFactor(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The factor of a system call that failed on a file: "path: " and the
// system's text for err, so that a user learns which file it was.
CORVINA_API std::string PathFactor(const std::string& path, int err);

}  // namespace corvina
