#pragma once

#include <memory>
#include <string>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/io/TempName.h"
#include "pdf/object/CPDFException.h"
#include "support/PdfBuilder.h"
#include "support/ScratchDir.h"

// A document opened from a builder's bytes, written into its own scratch
// directory; Doc() is null when the open failed (Error() says why).
class OpenedPdf {
public:
    explicit OpenedPdf(const PdfBuilder& pdf) : OpenedPdf(pdf.Bytes()) {}
    // The bytes of a whole file, opened with a password (or none when null).
    explicit OpenedPdf(const std::string& bytes, const char* password = nullptr) {
        lib_ = corvina::CPDFLib::Create(dir_.Path().c_str());
        if (!lib_) return;
        path_ = dir_.Write("in.pdf", bytes);
        doc_ = lib_->Open(path_.c_str(), password, &error_);
    }
    ~OpenedPdf() {
        if (doc_) lib_->Close(doc_);
        // The library pointed the process-wide temporary directory at the
        // scratch directory, which goes away with this object.
        corvina::TempSettings::Directory() = savedTempDir_;
    }
    OpenedPdf(const OpenedPdf&) = delete;
    OpenedPdf& operator=(const OpenedPdf&) = delete;

    corvina::CPDFDoc* Doc() const { return doc_; }
    const corvina::CPDFException& Error() const { return error_; }
    const std::string& Path() const { return path_; }
    const ScratchDir& Dir() const { return dir_; }

private:
    std::string savedTempDir_ = corvina::TempSettings::Directory();
    ScratchDir dir_;
    std::unique_ptr<corvina::CPDFLib> lib_;
    std::string path_;
    corvina::CPDFDoc* doc_ = nullptr;
    corvina::CPDFException error_;
};
