// The usage line and the version banner.
#include "tool/CLinkPointApp.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

// After jpeglib.h, which it needs.
#include <jerror.h>

#include <nettle/version.h>
#include <tiffio.h>
#include <zlib.h>

#include "pdf/io/Version.h"

namespace {

constexpr char kUsage[] =
    "Usage: %s [-v] InputFile [OutputFile] [-sp StartPage] [-ep EndPage] [-fm Format] "
    "[-ft FitType] [-o] [-d] [-i] [-l LogFile] [-t TempPath] [-pw Password]\n";

#define CORVINA_STR2(x) #x
#define CORVINA_STR(x) CORVINA_STR2(x)

// What stands after "-h" and "--help"'s usage line.
constexpr const char* kHelpLines[] = {
    "Gives every page of a PDF file a named destination.",
    "",
    "  InputFile      the PDF file to read",
    "  OutputFile     the file to write (default: replace InputFile)",
    "  -sp N, -ep N   first and last page (default: all pages)",
    "  -fm Format     name format, given the page number (default %d)",
    "  -ft FitType    destination view in PDF syntax (default /XYZ null null null)",
    "  -o             replace names that already exist",
    "  -d             remove every named destination instead",
    "  -i             append the changes as an incremental update; the input's",
    "                 bytes stay as they are (needed for signed documents)",
    "  -l LogFile     append the log to LogFile (\"\" for none)",
    "  -t TempPath    directory for temporary files",
    "  -pw Password   password of an encrypted input (user or owner)",
    "  -v             print the version banner (exit code 1)",
    "  -h, --help     print this help",
    "  --version      print the version",
    "  --             end of options: what follows is a file name",
    "",
    "At most two file names: one file per run (see the manual page for many).",
};

// The run-time library's own texts from its message table: libjpeg has no
// version call, and its table holds the API level and the copyright.
std::string JpegMessage(int code) {
    jpeg_error_mgr err;
    jpeg_std_error(&err);
    if (code < 0 || code > err.last_jpeg_message || !err.jpeg_message_table[code]) return "";
    return err.jpeg_message_table[code];
}

// The libjpeg line: libjpeg-turbo says its version only in its headers.
std::string JpegName() {
#ifdef LIBJPEG_TURBO_VERSION
    return "libjpeg-turbo " CORVINA_STR(LIBJPEG_TURBO_VERSION);
#else
    return "IJG libjpeg " + JpegMessage(JMSG_VERSION);
#endif
}

// libtiff's version text runs over several lines: the release, then its
// copyright notices.
std::vector<std::string> TiffLines() {
    std::vector<std::string> lines;
    const char* text = TIFFGetVersion();
    if (!text) return {"libtiff"};
    for (const char* at = text; *at;) {
        const char* end = std::strchr(at, '\n');
        lines.emplace_back(at, end ? end : at + std::strlen(at));
        if (!end) break;
        at = end + 1;
    }
    return lines;
}

void Block(FILE* out, const std::string& name, const std::vector<std::string>& notices) {
    std::fprintf(out, "%s\n", name.c_str());
    for (const std::string& line : notices) std::fprintf(out, "\t%s\n", line.c_str());
}

}  // namespace

void CLinkPointApp::PrintUsage(FILE* out, const char* programName) {
    // The name is cut, never the buffer overrun, when the line would pass its limit.
    const size_t fixed = std::strlen(kUsage) - 2;  // all but "%s"
    const size_t room = kUsageLineMax - fixed;
    const std::string name(programName ? programName : "", 0,
                           programName ? strnlen(programName, room) : 0);
    std::fprintf(out, kUsage, name.c_str());
}

void CLinkPointApp::PrintHelp(FILE* out, const char* programName) {
    PrintUsage(out, programName);
    for (const char* line : kHelpLines) std::fprintf(out, "%s\n", line);
}

// The tool is released with its library: one version, the library's.
const char* CLinkPointApp::Version() {
    return corvina::Version();
}

void CLinkPointApp::PrintVersion(FILE* out) {
    std::fprintf(out, "linkpoint %s\n", Version());
}

bool CLinkPointApp::CloseStandardOutput(const char* programName) {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    std::fprintf(stderr, "%s: write error: %s\n", programName ? programName : "",
                 std::strerror(errno ? errno : EIO));
    return false;
}

// Each library is named as it reports itself at run time; what only its
// headers say is marked as such.
void CLinkPointApp::PrintBanner(FILE* out) {
    Block(out, "linkpoint",
          {"Copyright (C) 2026 the linkpoint developers.",
           "Gives every page of a PDF file a named destination."});
    Block(out, std::string("corvina ") + corvina::Version(),
          {"Copyright (C) 2026 the corvina developers.",
           "PDF object library: reads, changes and writes PDF and FDF documents."});
    std::fprintf(out, "\n");
    Block(out, JpegName(),
          {"libjpeg API " + JpegMessage(JMSG_VERSION) + " (run time)", JpegMessage(JMSG_COPYRIGHT),
           "This software is based in part on the work of the Independent JPEG Group.",
           "The release number is the headers' (built against): the library has no "
           "call that reports it."});
    const std::vector<std::string> tiff = TiffLines();
    Block(out, tiff[0],
          tiff.size() > 1 ? std::vector<std::string>(tiff.begin() + 1, tiff.end())
                          : std::vector<std::string>{"Tag Image File Format library."});
    Block(out, std::string("zlib ") + zlibVersion(),
          {"Compression library by Jean-loup Gailly and Mark Adler.",
           "Built against: zlib " ZLIB_VERSION "."});
    Block(out,
          "nettle " + std::to_string(nettle_version_major()) + "." +
              std::to_string(nettle_version_minor()),
          {"Low-level cryptographic library: MD5, ARCFOUR (RC4), AES-CBC, SHA-256/384/512.",
           "Built against: nettle " + std::to_string(NETTLE_VERSION_MAJOR) + "." +
               std::to_string(NETTLE_VERSION_MINOR) + "."});
}
