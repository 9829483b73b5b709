#pragma once

#include <climits>
#include <cstdio>
#include <optional>
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

    // Fails when the code page 932 converter cannot be opened, or when the
    // log file cannot be opened (the last-error text then says why).
    // logFile: null logs to standard output (standard error when Run's output
    // is standard output itself), "" logs nothing, anything else is
    // opened for appending.
    bool Init(const char* logFile, const char* tempPath);
    // 0 on success, 1 on any failure, a log that could not be written
    // included: the job is not started when the first lines fail.
    int Run(const char* inputFile, const char* outputFile, long startPage, long endPage,
            const char* format, const char* fitType, bool overwrite, bool remove);
    // The password for an encrypted input (-pw), kept for the next Run; null
    // for none.
    void SetIncremental(bool incremental) { incremental_ = incremental; }
    void SetPassword(const char* password) {
        password_.reset();
        if (password) password_ = password;
    }
    // Closes an owned log file; standard output is left open. Safe to repeat.
    void Term();
    // Why the log could not be written (or closed), naming it; empty when
    // every line reached it.
    std::string GetLogErrorText() const;

    // The current log stream; null means nothing is logged.
    FILE* GetLog() const { return log_; }
    const std::string& GetTempPath() const { return tempPath_; }
    const std::string& GetLastErrorText() const { return lastError_; }
    void SetLastErrorText(const std::string& text) override { lastError_ = text; }

    // The project's version, "X.Y.Z".
    static const char* Version();
    // The printers leave flushing to the caller (CloseStandardOutput), so
    // that a write error keeps its cause.
    static void PrintUsage(FILE* out, const char* programName);
    // The usage line and a line for each option.
    static void PrintHelp(FILE* out, const char* programName);
    // "linkpoint X.Y.Z".
    static void PrintVersion(FILE* out);
    static void PrintBanner(FILE* out);
    // Flushes standard output; false, after saying so on standard error,
    // when what was printed did not all arrive.
    static bool CloseStandardOutput(const char* programName);

protected:
    // Writes the line and a newline to the log stream and flushes it, so
    // every line is out at once; without a log stream, nothing.
    void WriteLine(const char* line) override;

private:
    FILE* log_ = nullptr;
    bool ownsLog_ = false;
    std::string logName_;  // for the report of a failed write
    int logErrno_ = 0;     // the first write or close that failed
    std::string tempPath_;
    std::string lastError_;
    std::optional<std::string> password_;
    bool incremental_ = false;
};

extern CLinkPointApp theApp;
