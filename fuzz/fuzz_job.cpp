// The tool's whole job on a document in memory, saved to a scratch file.
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "pdf/object/CPDFException.h"
#include "tool/CLogSink.h"
#include "tool/CPDFDriver.h"

namespace {

class QuietSink : public CLogSink {
public:
    void SetLastErrorText(const std::string&) override {}

protected:
    void WriteLine(const char*) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A regular file: the job refuses anything else as its input.
    static fuzz::ScratchDir scratch;
    if (scratch.Path().empty()) return 0;
    const std::string in = scratch.Path() + "/in.pdf";
    if (FILE* f = std::fopen(in.c_str(), "wb")) {
        const bool ok = std::fwrite(data, 1, size, f) == size;
        if (std::fclose(f) != 0 || !ok) return 0;
    } else {
        return 0;
    }
    QuietSink sink;
    std::unique_ptr<CPDFDriver> driver = CreateDriver(scratch.Path().c_str(), sink);
    if (!driver) return 0;
    // Fit types of each kind the job treats apart: plain values, a number
    // kept as written, a member naming another object, a nested array.
    static const char* const kFits[] = {nullptr, "/FitH 792.50", "/Fit 1 0 R", "/FitR 0 0 612 792",
                                        "/XYZ [1] 2 3"};
    driver->SetParams(0, 0, nullptr, kFits[(size >> 1) % std::size(kFits)], size & 1, false);
    const std::string out = scratch.Path() + "/out.pdf";
    driver->Execute(in.c_str(), out.c_str());
    return 0;
}
