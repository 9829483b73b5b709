#pragma once

#include <string>

// The parsed options. Text fields point into argv; nothing is copied, so argv
// must outlive the object.
class CCommandLine {
public:
    // True when there is work to do: an input file was named and the command
    // line holds no mistake, or --help, --version or -v was given (they win
    // over everything else). False for a mistake (error says which; empty
    // when nothing at all was asked for).
    bool Parse(int argc, char** argv);

    const char* programName = nullptr;
    const char* InputFile = nullptr;
    const char* OutputFile = nullptr;
    long StartPage = 0;
    long EndPage = 0;
    const char* Format = nullptr;
    const char* FitType = nullptr;
    bool overwrite = false;
    bool remove = false;       // -d
    bool incremental = false;  // -i
    const char* LogFile = nullptr;
    const char* TempPath = nullptr;
    const char* Password = nullptr;  // -pw; null when not given
    bool version = false;            // -v: the banner
    bool help = false;               // -h, --help
    bool versionOnly = false;        // --version: the version number alone
    // Why the command line was refused, without the program name: a file
    // name too many, an unknown option, a value missing. Only the first
    // mistake is kept.
    std::string error;
};
