#include "pdf/file/CPDFHeader.h"

#include <cstdio>
#include <cstring>

#include "pdf/io/InStream.h"
#include "pdf/io/Limits.h"
#include "pdf/io/OutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/Factors.h"

namespace corvina {

namespace {

[[noreturn]] void Raise(const std::string& factor) {
    throw CPDFException("CPDFHeader", "Serialize", CPDFException::InvalidFormat, factor.c_str());
}

// Four bytes above 127 so that transfer programs treat the file as binary.
constexpr char kBinaryMarker[] = "\xE2\xE3\xCF\xD3";

}  // namespace

void CPDFHeader::Serialize(CPDFObjHolder* doc, InStream& in) {
    doc_ = doc;
    char line[limits::kTokenSize];
    const int n = in.ReadLine(line, sizeof line);
    if (n <= 0) {
        if (in.Error()) Raise(factor::kIoError);
        Raise(in.Length() == 0 ? factor::kEmptyFile : factor::kNotPdf);
    }
    line[n < static_cast<int>(sizeof line) ? n : sizeof line - 1] = 0;

    long major = 0;
    long minor = 0;
    if (std::sscanf(line, "%%PDF-%ld.%ld", &major, &minor) == 2) {
        fdf_ = false;
    } else if (std::sscanf(line, "%%FDF-%ld.%ld", &major, &minor) == 2) {
        fdf_ = true;
    } else if (std::strncmp(line, "%PDF-", 5) != 0 && std::strncmp(line, "%FDF-", 5) != 0) {
        // Text, an image, an HTML error page saved as .pdf: say what it is not.
        Raise(factor::kNotPdf);
    } else {
        Raise(FormatFactor(factor::kInvalidHeader, line));
    }
    major_ = major;
    minor_ = minor;
}

void CPDFHeader::Serialize(OutStream& out) {
    out.Printf(fdf_ ? "%%FDF-%ld.%ld" : "%%PDF-%ld.%ld", major_, minor_);
    out.WriteEol();
    out.Printf("%%%s\r\n", kBinaryMarker);
}

}  // namespace corvina
