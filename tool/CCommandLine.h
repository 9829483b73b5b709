#pragma once

// The parsed options. Text fields point into argv; nothing is copied, so argv
// must outlive the object.
class CCommandLine {
public:
    // Returns true when there is work to do: -v was given or an input file was named.
    bool Parse(int argc, char** argv);

    const char* programName = nullptr;
    const char* InputFile = nullptr;
    const char* OutputFile = nullptr;
    long StartPage = 0;
    long EndPage = 0;
    const char* Format = nullptr;
    const char* FitType = nullptr;
    bool overwrite = false;
    bool remove = false;  // -d
    const char* LogFile = nullptr;
    const char* TempPath = nullptr;
    bool version = false;
};
