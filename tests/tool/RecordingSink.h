#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "pdf/object/CPDFException.h"
#include "tool/CLogSink.h"

// A log sink that keeps everything the job tells it: the finished lines
// (error reports included, as the log shows them), each report's record and
// every last-error text in the order they were set.
class RecordingSink : public CLogSink {
public:
    struct Report {
        std::string module;
        std::string method;
        int type = 0;
        std::string factor;
        bool operator==(const Report&) const = default;
    };

    void WriteErrorReport(const corvina::CPDFException& e) override {
        reports.push_back({e.GetModule(), e.GetMethod(), e.GetType(), e.GetFactor()});
        CLogSink::WriteErrorReport(e);
    }
    void SetLastErrorText(const std::string& text) override { errorTexts.push_back(text); }

    void Clear() {
        lines.clear();
        reports.clear();
        errorTexts.clear();
    }

    std::vector<std::string> lines;
    std::vector<Report> reports;
    std::vector<std::string> errorTexts;

protected:
    void WriteLine(const char* line) override { lines.emplace_back(line); }
};

// gtest prints a failed comparison of records readably.
inline void PrintTo(const RecordingSink::Report& r, std::ostream* os) {
    *os << "{" << r.module << ", " << r.method << ", " << r.type << ", " << r.factor << "}";
}
