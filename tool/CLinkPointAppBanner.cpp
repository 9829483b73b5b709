// The usage line and the version banner.
#include "tool/CLinkPointApp.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <jpeglib.h>
#include <tiffio.h>
#include <zlib.h>

namespace {

constexpr char kUsage[] =
    "Usage: %s [-v] InputFile [OutputFile] [-sp StartPage] [-ep EndPage] [-fm Format] "
    "[-ft FitType] [-o] [-d] [-l LogFile] [-t TempPath]\n";

#define CORVINA_STR2(x) #x
#define CORVINA_STR(x) CORVINA_STR2(x)

std::string JpegVersion() {
    std::string text = "libjpeg API " CORVINA_STR(JPEG_LIB_VERSION);
#ifdef LIBJPEG_TURBO_VERSION
    text += " (libjpeg-turbo " CORVINA_STR(LIBJPEG_TURBO_VERSION) ")";
#endif
    return text;
}

// libtiff's version text runs over several lines; the first names the release.
std::string TiffVersion() {
    const char* text = TIFFGetVersion();
    if (!text) return "unknown";
    const char* end = std::strchr(text, '\n');
    return end ? std::string(text, end) : std::string(text);
}

void Block(FILE* out, const char* name, std::initializer_list<std::string> notices) {
    std::fprintf(out, "%s\n", name);
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
    std::fflush(out);
}

void CLinkPointApp::PrintBanner(FILE* out) {
    Block(out, "linkpoint",
          {"Copyright (C) 2026 the linkpoint developers.",
           "Gives every page of a PDF file a named destination."});
    Block(out, "corvina 2.4.0",
          {"Copyright (C) 2026 the corvina developers.",
           "PDF object library: reads, changes and writes PDF and FDF documents."});
    std::fprintf(out, "\n");
    Block(out, "The Independent JPEG Group's JPEG software release 6b of 27-Mar-1998",
          {"This software is based in part on the work of the Independent JPEG Group.",
           "Built against: " + JpegVersion() + "."});
    Block(out, "TIFF Software Distribution v3.4",
          {"Copyright (c) 1988-1997 Sam Leffler", "Copyright (c) 1991-1997 Silicon Graphics, Inc.",
           "Linked: " + TiffVersion() + "."});
    Block(out, "zlib 1.1.3",
          {"Copyright (C) 1995-1998 Jean-loup Gailly and Mark Adler",
           std::string("Linked: zlib ") + zlibVersion() + "."});
    Block(out, "MD5 message-digest algorithm",
          {"Derived from the RSA Data Security, Inc. MD5 Message-Digest Algorithm.",
           "Linked: libmd (MD5Init, MD5Update, MD5Final)."});
    std::fflush(out);
}
