#include "pdf/file/CPDFLib.h"

#include "pdf/file/CPDFDoc.h"
#include "pdf/io/TempName.h"
#include "pdf/object/CPDFException.h"

namespace corvina {
namespace {

// Non-empty directories end in '/'.
std::string AsDirectory(const char* dir) {
    std::string s = dir ? dir : "";
    if (!s.empty() && s.back() != '/') s += '/';
    return s;
}

}  // namespace

std::unique_ptr<CPDFLib> CPDFLib::Create(const char* tempDir, const char* cmapDir,
                                         const char* thirdDir, const char* metricsDir) {
    try {
        std::unique_ptr<CPDFLib> lib(new CPDFLib());
        lib->tempDir_ = AsDirectory(tempDir);
        TempSettings::Directory() = lib->tempDir_;
        TempSettings::Prefix() = "cv";
        lib->cmapDir_ = AsDirectory(cmapDir);
        lib->thirdDir_ = AsDirectory(thirdDir);
        lib->metricsDir_ = AsDirectory(metricsDir);
        return lib;
    } catch (...) {
        return nullptr;
    }
}

CPDFDoc* CPDFLib::Open(const char* path, const char* password, CPDFException* error) {
    auto doc = std::make_unique<CPDFDoc>();
    if (!doc->Open(this, path, password)) {
        if (error) *error = doc->GetLastError();
        return nullptr;
    }
    return doc.release();
}

void CPDFLib::Close(CPDFDoc* doc) {
    if (!doc) return;
    doc->Close();
    delete doc;
}

}  // namespace corvina
