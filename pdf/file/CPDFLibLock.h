#pragma once

#include "pdf/file/CPDFLib.h"

namespace corvina {

// Holds the library lock for its lifetime. The library is borrowed and must
// outlive the guard; a null library locks nothing.
class CPDFLibLock {
public:
    explicit CPDFLibLock(CPDFLib* lib) : lib_(lib) {
        if (lib_) lib_->Enter();
    }
    ~CPDFLibLock() {
        if (lib_) lib_->Leave();
    }
    CPDFLibLock(const CPDFLibLock&) = delete;
    CPDFLibLock& operator=(const CPDFLibLock&) = delete;

private:
    CPDFLib* lib_;
};

}  // namespace corvina
