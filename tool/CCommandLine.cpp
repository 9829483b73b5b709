#include "tool/CCommandLine.h"

#include <cstdlib>
#include <cstring>

namespace {

const char* BaseName(const char* path) {
    if (!path) return "";
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// One option: its spelling after the first dash, and the field it sets. A
// value option sets a text or a number from the next argument; a flag sets
// its bool.
struct OptionEntry {
    const char* name;
    const char* CCommandLine::*text;
    long CCommandLine::*number;
    bool CCommandLine::*flag;
};

constexpr OptionEntry Text(const char* name, const char* CCommandLine::*field) {
    return {name, field, nullptr, nullptr};
}
constexpr OptionEntry Number(const char* name, long CCommandLine::*field) {
    return {name, nullptr, field, nullptr};
}
constexpr OptionEntry Flag(const char* name, bool CCommandLine::*field) {
    return {name, nullptr, nullptr, field};
}

constexpr OptionEntry kOptions[] = {
    Number("sp", &CCommandLine::StartPage), Number("ep", &CCommandLine::EndPage),
    Text("fm", &CCommandLine::Format),      Text("ft", &CCommandLine::FitType),
    Flag("o", &CCommandLine::overwrite),    Flag("d", &CCommandLine::remove),
    Flag("i", &CCommandLine::incremental),  Text("l", &CCommandLine::LogFile),
    Text("t", &CCommandLine::TempPath),     Text("pw", &CCommandLine::Password),
    Flag("v", &CCommandLine::version),      Flag("h", &CCommandLine::help),
    Flag("-help", &CCommandLine::help),     Flag("-version", &CCommandLine::versionOnly),
};

// Ends the options: what follows is a file name even when it starts with '-'.
constexpr char kEndOfOptions[] = "--";

const OptionEntry* FindOption(const char* arg) {
    if (!arg || arg[0] != '-') return nullptr;
    for (const OptionEntry& option : kOptions)
        if (std::strcmp(arg + 1, option.name) == 0) return &option;
    return nullptr;
}

}  // namespace

bool CCommandLine::Parse(int argc, char** argv) {
    programName = BaseName(argc > 0 && argv ? argv[0] : nullptr);
    auto refuse = [this](const std::string& why) {
        if (error.empty()) error = why;
    };

    int positional = 0;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg) continue;
        if (!optionsEnded && std::strcmp(arg, kEndOfOptions) == 0) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg[0] != '-') {
            // A third name is never written to: with a.pdf b.pdf c.pdf (a
            // shell pattern, xargs) nobody asked for b.pdf to be replaced.
            if (positional == 0) {
                InputFile = arg;
            } else if (positional == 1) {
                OutputFile = arg;
            } else if (positional == 2) {
                refuse(std::string("too many file names: ") + arg);
            }
            ++positional;
            continue;
        }
        if (arg[1] == '\0') {
            refuse("'-' (standard input or output) is not supported");
            continue;
        }
        const OptionEntry* option = FindOption(arg);
        if (!option) {
            // Taken as a file name, a mistyped option's value would be written.
            refuse(std::string("unknown option: ") + arg);
            continue;
        }
        if (option->flag) {
            this->*option->flag = true;
            continue;
        }
        // The next argument is the value, even when it starts with '-' (a
        // negative page, a format), unless it is itself one of the options.
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!value || FindOption(value) || std::strcmp(value, kEndOfOptions) == 0) {
            refuse(std::string("option ") + arg + " needs a value");
            continue;
        }
        ++i;
        if (option->number) {
            this->*option->number = std::atol(value);
        } else {
            this->*option->text = value;
        }
    }
    if (help || versionOnly || version) return true;
    if (!error.empty()) return false;
    return InputFile != nullptr;
}
