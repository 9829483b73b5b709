#include "tool/CLinkPointApp.h"

#include <sys/stat.h>
#include <unistd.h>

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

    if (!logFile) {
        log_ = stdout;
    } else if (*logFile != '\0') {
        log_ = std::fopen(logFile, "a");
        ownsLog_ = log_ != nullptr;
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
    if (log_ == stdout && IsStandardOutput(output)) log_ = stderr;

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

    std::unique_ptr<CPDFDriver> driver = CreateDriver(tempPath_.c_str(), *this);
    if (!driver) return 1;
    if (!driver->SetParams(startPage, endPage, format, fitType, overwrite, remove)) return 1;
    if (!driver->Execute(input, outputPath.c_str())) return 1;
    driver.reset();

    WriteLog("Finish at: %s", Now().c_str());
    return 0;
}

void CLinkPointApp::Term() {
    if (ownsLog_ && log_) std::fclose(log_);
    log_ = nullptr;
    ownsLog_ = false;
}

void CLinkPointApp::WriteLine(const char* line) {
    if (!log_) return;
    std::fputs(line, log_);
    std::fputc('\n', log_);
    std::fflush(log_);
}
