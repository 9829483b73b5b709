// Minimal stand-in so the tool links; the named-destination job replaces this
// file. Execute always fails.
#include "tool/CPDFDriver.h"

#include <algorithm>

bool CNameLess::operator()(const std::u16string& a, const std::u16string& b) const {
    // wcscmp order: unsigned units, and the first zero unit ends a name.
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (; i < n; ++i) {
        const auto x = static_cast<unsigned>(a[i]);
        const auto y = static_cast<unsigned>(b[i]);
        if (x != y) return x < y;
        if (x == 0) return false;
    }
    const unsigned x = i < a.size() ? a[i] : 0;
    const unsigned y = i < b.size() ? b[i] : 0;
    return x < y;
}

CPDFDriver::~CPDFDriver() = default;

bool CPDFDriver::SetParams(long startPage, long endPage, const char* format, const char* fitType,
                           bool overwrite, bool remove) {
    startPage_ = startPage;
    endPage_ = endPage;
    format_ = format ? format : "%d";
    fitType_ = fitType ? fitType : "/XYZ null null null";
    overwrite_ = overwrite;
    remove_ = remove;
    return true;
}

bool CPDFDriver::Execute(const char*, const char*) {
    return false;
}

bool CPDFDriver::IsSafeFormat(const char*) {
    return true;
}

CPDFDriver* CreateDriver(const char*) {
    return new CPDFDriver();
}

void DestroyDriver(CPDFDriver* driver) {
    delete driver;
}
