#pragma once

#include <climits>
#include <cstdio>
#include <string>

#include "tool/CLogSink.h"

// The application object: the log stream, the temporary directory and the
// text of the last job failure. The process has one, `theApp`, which `main`
// drives; the driver of a run only sees it as its log sink.
class CLinkPointApp : public CLogSink {
public:
    // Longest path, with its terminating zero, that a run accepts: the
    // platform's own limit.
    static constexpr size_t kPathBufferSize = PATH_MAX;
    // Longest usage line, newline included.
    static constexpr size_t kUsageLineMax = 255;

    CLinkPointApp() = default;
    ~CLinkPointApp() override;
    CLinkPointApp(const CLinkPointApp&) = delete;
    CLinkPointApp& operator=(const CLinkPointApp&) = delete;

    // Fails only when the code page 932 converter cannot be opened.
    // logFile: null logs to standard output (standard error when Run's output
    // is standard output itself), "" logs nothing, anything else is
    // opened for appending (no log, silently, if it cannot be opened).
    bool Init(const char* logFile, const char* tempPath);
    // 0 on success, 1 on any failure.
    int Run(const char* inputFile, const char* outputFile, long startPage, long endPage,
            const char* format, const char* fitType, bool overwrite, bool remove);
    // Closes an owned log file; standard output is left open. Safe to repeat.
    void Term();

    // The current log stream; null means nothing is logged.
    FILE* GetLog() const { return log_; }
    const std::string& GetTempPath() const { return tempPath_; }
    const std::string& GetLastErrorText() const { return lastError_; }
    void SetLastErrorText(const std::string& text) override { lastError_ = text; }

    static void PrintUsage(FILE* out, const char* programName);
    static void PrintBanner(FILE* out);

protected:
    // Writes the line and a newline to the log stream and flushes it, so
    // every line is out at once; without a log stream, nothing.
    void WriteLine(const char* line) override;

private:
    FILE* log_ = nullptr;
    bool ownsLog_ = false;
    std::string tempPath_;
    std::string lastError_;
};

extern CLinkPointApp theApp;
