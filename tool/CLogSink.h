#pragma once

#include <string>

namespace corvina {
class CPDFException;
}

// Where a job's messages go: log lines, error reports and the plain text of
// the last failure. The driver borrows one and never learns whether it is a
// console, a file or a test's recorder.
class CLogSink {
public:
    // Longest line the log keeps, without its newline: lines are formatted
    // into 1024 bytes and the rest is cut.
    static constexpr size_t kLineMax = 1023;

    virtual ~CLogSink() = default;

    // Formats one line as printf does and hands it to WriteLine, cut to
    // kLineMax bytes; the format's "%%" is one percent sign, as ever.
    void WriteLog(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The "Module: ", "Method: ", "Type: " and "Factor: " lines of a record;
    // a missing part and an unknown type print as empty text.
    virtual void WriteErrorReport(const corvina::CPDFException& e);
    // Replaces the text of the last failure: the most recent one counts.
    virtual void SetLastErrorText(const std::string& text) = 0;

protected:
    // One finished line, without its newline.
    virtual void WriteLine(const char* line) = 0;
};
