#include "tool/CLogSink.h"

#include <cstdarg>
#include <cstdio>

#include "pdf/object/CPDFException.h"

void CLogSink::WriteLog(const char* format, ...) {
    char buffer[kLineMax + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    WriteLine(buffer);
}

void CLogSink::WriteErrorReport(const corvina::CPDFException& e) {
    WriteLog("Module: %s", e.GetModule());
    WriteLog("Method: %s", e.GetMethod());
    WriteLog("Type: %s", corvina::CPDFException::TypeText(e.GetType()));
    WriteLog("Factor: %s", e.GetFactor());
}
