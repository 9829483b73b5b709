#include "tool/CCommandLine.h"

#include <cstdlib>
#include <cstring>

namespace {

const char* BaseName(const char* path) {
    if (!path) return "";
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

}  // namespace

bool CCommandLine::Parse(int argc, char** argv) {
    programName = BaseName(argc > 0 ? argv[0] : nullptr);

    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg) continue;
        if (arg[0] != '-') {
            if (positional == 0) {
                InputFile = arg;
            } else if (positional == 1) {
                OutputFile = arg;
            }
            ++positional;
            continue;
        }

        const char* option = arg + 1;
        // A value is taken only when one follows and it is not itself an option.
        const bool hasValue = i + 1 < argc && argv[i + 1] && argv[i + 1][0] != '-';
        const char** textTarget = nullptr;
        long* numberTarget = nullptr;
        if (std::strcmp(option, "sp") == 0) {
            numberTarget = &StartPage;
        } else if (std::strcmp(option, "ep") == 0) {
            numberTarget = &EndPage;
        } else if (std::strcmp(option, "fm") == 0) {
            textTarget = &Format;
        } else if (std::strcmp(option, "ft") == 0) {
            textTarget = &FitType;
        } else if (std::strcmp(option, "o") == 0) {
            overwrite = true;
        } else if (std::strcmp(option, "d") == 0) {
            remove = true;
        } else if (std::strcmp(option, "l") == 0) {
            textTarget = &LogFile;
        } else if (std::strcmp(option, "t") == 0) {
            textTarget = &TempPath;
        } else if (std::strcmp(option, "v") == 0) {
            version = true;
        }

        if ((numberTarget || textTarget) && hasValue) {
            ++i;
            if (numberTarget) {
                *numberTarget = std::atol(argv[i]);
            } else {
                *textTarget = argv[i];
            }
        }
    }
    return version || InputFile != nullptr;
}
