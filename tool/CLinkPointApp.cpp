#include "tool/CLinkPointApp.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "pdf/object/CP932.h"
#include "tool/CPDFDriver.h"

CLinkPointApp theApp;

namespace {

// ctime's text of the current local time without its newline.
std::string Now() {
    const std::time_t now = std::time(nullptr);
    char buffer[64] = "";
    if (!ctime_r(&now, buffer)) return "";
    std::string text = buffer;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// True when path names the very file, pipe or device that fd 1 is.
bool IsStandardOutput(const char* path) {
    struct stat out, fd1;
    if (!path || !*path || ::fstat(STDOUT_FILENO, &fd1) != 0 || ::stat(path, &out) != 0)
        return false;
    return out.st_dev == fd1.st_dev && out.st_ino == fd1.st_ino;
}

}  // namespace

CLinkPointApp::~CLinkPointApp() {
    Term();
}

bool CLinkPointApp::Init(const char* logFile, const char* tempPath) {
    Term();
    // The command line is text in the user's locale: names made from -fm are
    // read in its encoding. A locale the system lacks leaves the C locale,
    // read as UTF-8, as other tools go on in it.
    if (!std::setlocale(LC_ALL, "")) std::setlocale(LC_ALL, "C");
    // Numbers the program writes never take the locale's decimal comma.
    std::setlocale(LC_NUMERIC, "C");
    // Keys read from files that are not Unicode are code page 932 text;
    // without that converter no tree can be read.
    if (!corvina::detail::CP932Available()) return false;

    logErrno_ = 0;
    if (!logFile) {
        log_ = stdout;
        logName_ = "standard output";
    } else if (*logFile != '\0') {
        // The log is part of the result: a run that cannot keep it does not start.
        log_ = std::fopen(logFile, "a");
        if (!log_) {
            SetLastErrorText(std::string("cannot open log file ") + logFile + ": " +
                             std::strerror(errno));
            return false;
        }
        ownsLog_ = true;
        logName_ = logFile;
    }
    tempPath_ = tempPath ? tempPath : "";
    return true;
}

int CLinkPointApp::Run(const char* inputFile, const char* outputFile, long startPage, long endPage,
                       const char* format, const char* fitType, bool overwrite, bool remove) {
    const char* input = inputFile ? inputFile : "";
    const char* output = (outputFile && *outputFile) ? outputFile : input;
    // When the PDF itself goes to standard output (/dev/stdout, or a path
    // that names what fd 1 is), the log moves to standard error so the two
    // never mix.
    if (log_ == stdout && IsStandardOutput(output)) {
        log_ = stderr;
        logName_ = "standard error";
    }

    WriteLog("Start at: %s", Now().c_str());
    // A path is never cut to fit: a shortened path would name another file.
    for (const char* path : {input, output}) {
        if (std::strlen(path) >= kPathBufferSize) {
            SetLastErrorText(std::string("path too long: ") + path);
            WriteLog("%%%%[ Error: path too long: %s ]%%%%", path);
            return 1;
        }
    }
    const std::string outputPath = output;

    WriteLog("InputFile: %s", input);
    WriteLog("OutputFile: %s", outputPath.c_str());
    // A log that takes nothing (a full disk, standard output on /dev/full)
    // stops the run before any file is written.
    if (logErrno_) return 1;

    std::unique_ptr<CPDFDriver> driver = CreateDriver(tempPath_.c_str(), *this);
    if (!driver) return 1;
    if (!driver->SetParams(startPage, endPage, format, fitType, overwrite, remove)) return 1;
    driver->SetPassword(password_ ? password_->c_str() : nullptr);
    driver->SetIncremental(incremental_);
    if (!driver->Execute(input, outputPath.c_str())) return 1;
    // What a script needs to see that a run changed nothing.
    const CPDFDriver::Counts counts = driver->GetCounts();
    if (remove)
        WriteLog("Removed %ld", counts.removed);
    else
        WriteLog("Added %ld, replaced %ld, already present %ld", counts.added, counts.replaced,
                 counts.present);
    driver.reset();

    WriteLog("Finish at: %s", Now().c_str());
    return logErrno_ ? 1 : 0;
}

void CLinkPointApp::Term() {
    if (ownsLog_ && log_ && std::fclose(log_) != 0 && !logErrno_) logErrno_ = errno;
    log_ = nullptr;
    ownsLog_ = false;
}

std::string CLinkPointApp::GetLogErrorText() const {
    if (!logErrno_) return "";
    return "cannot write the log to " + logName_ + ": " + std::strerror(logErrno_);
}

void CLinkPointApp::WriteLine(const char* line) {
    if (!log_) return;
    errno = 0;
    if (std::fputs(line, log_) < 0 || std::fputc('\n', log_) == EOF || std::fflush(log_) != 0) {
        if (!logErrno_) logErrno_ = errno ? errno : EIO;
    }
}
