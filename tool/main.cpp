#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "pdf/file/OutputTarget.h"
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
    // A run stopped by SIGTERM, SIGINT or SIGHUP leaves no temporary file.
    corvina::OutputTarget::RemovePendingOnTermination();
    CCommandLine cmd;
    const bool work = cmd.Parse(argc, argv);
    if (cmd.help) {
        CLinkPointApp::PrintHelp(stdout, cmd.programName);
        return CLinkPointApp::CloseStandardOutput(cmd.programName) ? 0 : 1;
    }
    if (cmd.versionOnly) {
        CLinkPointApp::PrintVersion(stdout);
        return CLinkPointApp::CloseStandardOutput(cmd.programName) ? 0 : 1;
    }
    if (cmd.version) {
        CLinkPointApp::PrintBanner(stdout);
        CLinkPointApp::CloseStandardOutput(cmd.programName);
        return 1;
    }
    if (!work) {
        // A mistake on the command line opens and writes nothing.
        if (!cmd.error.empty())
            std::fprintf(stderr, "%s: %s\n", cmd.programName, cmd.error.c_str());
        CLinkPointApp::PrintUsage(stderr, cmd.programName);
        return 1;
    }

    int rc = 1;
    try {
        if (!theApp.Init(cmd.LogFile, cmd.TempPath)) {
            const std::string& why = theApp.GetLastErrorText();
            if (!why.empty()) std::fprintf(stderr, "%s: %s\n", cmd.programName, why.c_str());
            return 1;
        }
        theApp.SetPassword(cmd.Password);
        theApp.SetIncremental(cmd.incremental);
        rc = theApp.Run(cmd.InputFile, cmd.OutputFile, cmd.StartPage, cmd.EndPage, cmd.Format,
                        cmd.FitType, cmd.overwrite, cmd.remove) == 0
                 ? 0
                 : 1;
    } catch (...) {
        rc = 1;
    }
    theApp.Term();
    // A log that could not be written fails the run, as a tool whose output
    // is cut short does; the PDF itself is complete or not written at all.
    const std::string why = theApp.GetLogErrorText();
    if (!why.empty()) {
        std::fprintf(stderr, "%s: %s\n", cmd.programName, why.c_str());
        rc = 1;
    }
    return rc;
}
