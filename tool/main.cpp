#include <malloc.h>

#include <csignal>
#include <cstdio>

#include "tool/CCommandLine.h"
#include "tool/CLinkPointApp.h"

int main(int argc, char** argv) {
    // The job's tables (cross-reference entries, object slots) grow by
    // doubling. Kept on the heap rather than in mappings of their own, the
    // block each growth frees serves what comes next instead of going back to
    // the kernel and being faulted in again: on a virtual machine a page fault
    // costs microseconds, and a large file's job takes thousands.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    // A pipe or FIFO whose reader went away is a write error the job reports,
    // not a signal that ends the process without a word.
    std::signal(SIGPIPE, SIG_IGN);
    CCommandLine cmd;
    if (!cmd.Parse(argc, argv)) {
        CLinkPointApp::PrintUsage(stdout, cmd.programName);
        return 1;
    }
    if (cmd.version) {
        CLinkPointApp::PrintBanner(stdout);
        return 1;
    }

    try {
        if (!theApp.Init(cmd.LogFile, cmd.TempPath)) return 1;
        if (theApp.Run(cmd.InputFile, cmd.OutputFile, cmd.StartPage, cmd.EndPage, cmd.Format,
                       cmd.FitType, cmd.overwrite, cmd.remove) != 0) {
            theApp.Term();
            return 1;
        }
    } catch (...) {
        theApp.Term();
        return 1;
    }
    theApp.Term();
    return 0;
}
