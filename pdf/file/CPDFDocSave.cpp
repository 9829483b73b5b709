// Saving: the output target, the full-rewrite preparation, writing every
// object once, and the replacement of the target by one rename(). A target
// that is not a regular file (a device, a FIFO, standard output) is written
// into directly instead.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pdf/file/CPDFDoc.h"
#include "pdf/io/DecimalText.h"
#include "pdf/object/CPDFText.h"
#include "pdf/structure/CPDFDate.h"
#include "pdf/structure/CPDFInfoDict.h"

namespace corvina {
namespace {

constexpr int kOutputBuffer = 65536;

// True when both paths name one existing file, however spelt (./a.pdf, a
// symbolic link, a hard link).
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (a.empty() || b.empty()) return false;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Where the output really lands: an existing path is resolved through its
// links so that the rename replaces the file, not the link.
std::string ResolveTarget(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) return resolved;
    return path;
}

// True when realpath() finds an existing file for the path.
bool Resolves(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

bool CPDFDoc::Save(const char* path, bool incremental, bool linearize) {
    lastError_.Clear();
    const bool ok = Guarded("Save", false, [&] {
        const int internal = CPDFException::InternalError;
        const int runtime = CPDFException::RuntimeLibraryError;
        CPDFBody* body = GetBody();
        CPDFXRef* xref = GetXRef();
        CPDFTrailer* trailer = GetTrailer();
        if (!body) Raise("Save", internal, "CPDFDoc::GetBody()");
        if (!xref) Raise("Save", internal, "CPDFDoc::GetXRef()");
        if (!trailer) Raise("Save", internal, "CPDFDoc::GetTrailer()");
        // A second Save replaces the first one's output.
        if (output_) DiscardSave();
        saveCalled_ = true;
        replaceViaTemp_ = false;

        if (IsFDF()) {
            incremental = false;
            linearize = false;
        } else if (linearize || outputKey_) {
            incremental = false;
        }
        // Linearized output is not built; refuse before anything is written.
        if (linearize) Raise("Save", internal, "CPDFDoc::Linearize()");

        if (trailer->Get_Encrypt() && docKey_ && !outputKey_) {
            outputKey_ = std::make_unique<unsigned char[]>(5);
            std::memcpy(outputKey_.get(), docKey_.get(), 5);
        }

        const std::string out = path ? path : "";
        writePath_.clear();
        targetPath_.clear();
        appendBase_ = -1;
        outputCreated_ = false;
        direct_ = false;
        struct stat target;
        const bool exists = !out.empty() && ::stat(out.c_str(), &target) == 0;
        if (out.empty()) {
            // Standard output: a stream, written straight into.
            incremental = false;
            direct_ = true;
        } else if (exists && S_ISDIR(target.st_mode)) {
            Raise("Save", CPDFException::UserError,
                  FormatFactor("output is a directory: %s", out.c_str()).c_str());
        } else if (exists && !S_ISREG(target.st_mode)) {
            // A device, a FIFO or a pipe behind /dev/stdout is never replaced
            // by a file: the document is written into it, in one pass.
            incremental = false;
            writePath_ = out;
            direct_ = true;
        } else if (incremental && SameFile(out, filePath_)) {
            writePath_ = ResolveTarget(out);
        } else {
            // A whole file is always written beside its target and renamed
            // over it by Flush, so the target (the input itself, or a file the
            // user had there) is whole at every instant.
            incremental = false;
            targetPath_ = ResolveTarget(out);
            // An existing file that resolves to no name of its own (fd 1 of
            // a deleted file, say) would have the rename replace the link.
            if (exists && (targetPath_ == out ? !Resolves(out) : !SameFile(targetPath_, out)))
                Raise("Save", CPDFException::UserError,
                      FormatFactor("output has no file name to replace: %s", out.c_str()).c_str());
            std::string tmpl = DirectoryOf(targetPath_) + "/cvXXXXXX.pdf";
            const int fd = ::mkstemps(tmpl.data(), 4);
            if (fd < 0) Raise("Save", runtime, nullptr);
            ::close(fd);
            writePath_ = tmpl;
            outputCreated_ = true;
            replaceViaTemp_ = true;
        }
        incremental_ = incremental;
        linearize_ = linearize;

        output_ = std::make_unique<FileOutStream>(kOutputBuffer);
        if (incremental_) {
            struct stat st;
            if (::stat(writePath_.c_str(), &st) != 0) Raise("Save", runtime, nullptr);
            appendBase_ = static_cast<long>(st.st_size);
        }
        if (!output_->Open(writePath_.c_str(), incremental_ ? "ab" : "wb", kOutputBuffer)) {
            errno = output_->SavedErrno();
            Raise("Save", direct_ ? CPDFException::SystemError : runtime, nullptr);
        }

        if (!IsFDF() && !incremental_) {
            // Every number up to the largest table read is carried, so objects
            // that only older sections list are not lost.
            const int32_t size = std::max(xref->Size(), fullSize_);
            if (!xref->Resize(size) || !body->Resize(size))
                Raise("Save", internal, "CPDFXRef::SetEntry()");
            for (int32_t i = 1; i <= size; ++i) {
                if (!xref->GetEntry(i)) {
                    // A number no section lists is simply absent (sparse
                    // tables are valid); it stays out of the new table.
                    XRefEntry* older = FindEntry(i, true);
                    if (!older) continue;
                    if (!xref->SetEntry(*older)) Raise("Save", internal, "CPDFXRef::SetEntry()");
                }
                const XRefEntry* entry = xref->GetEntry(i);
                const CPDFObjRef ref(i, entry->genNum);
                CPDFBody* holder = nullptr;
                if (!body->GetObj(ref) && FindObj(ref, true, &holder)) {
                    if (!body->SetObj(ref, holder->TakeObj(ref)))
                        Raise("Save", internal, "CPDFBody::SetObj()");
                }
            }
            bodies_.resize(1);
            xrefs_.resize(1);
            trailers_.resize(1);
            trailer->Dict().Detach("Prev");
        }
        if (!incremental_) header_->Serialize(*output_);
        return true;
    });
    if (!ok) DiscardSave();
    return ok;
}

int32_t CPDFDoc::StoreObj(const CPDFObjRef& ref, CPDFObject* obj) {
    lastError_.Clear();
    return Guarded("StoreObj", -1, [&] {
        if (!ref.IsSet())
            Raise("StoreObj", CPDFException::UserError, "Object reference is not defined.");
        if (!output_ || !obj) Raise("StoreObj", CPDFException::InternalError, nullptr);
        const long offset = output_->Tell();
        // Offsets are 32-bit in the cross-reference table.
        if (offset > INT32_MAX - 1) {
            errno = EFBIG;
            Raise("StoreObj", CPDFException::RuntimeLibraryError, nullptr);
        }
        char head[2 * detail::kDecimalMax + 8];
        char* end = detail::AppendDecimal(head, ref.objNum);
        *end++ = ' ';
        end = detail::AppendDecimal(end, ref.genNum);
        std::memcpy(end, " obj\r\n", 6);
        output_->Write(head, static_cast<int>(end + 6 - head));
        unsigned char keyBuf[10];
        obj->Serialize(*output_, KeyFor(outputKey_.get(), ref, keyBuf));
        output_->WriteEol();
        output_->WriteText("endobj");
        output_->WriteEol();
        return static_cast<int32_t>(offset);
    });
}

bool CPDFDoc::WriteAllObjects() {
    lastError_.Clear();
    return Guarded("Serialize", false, [&] {
        const int internal = CPDFException::InternalError;
        CPDFBody* body = GetBody();
        CPDFXRef* xref = GetXRef();
        CPDFTrailer* trailer = GetTrailer();
        if (!body) Raise("Serialize", internal, "CPDFDoc::GetBody()");
        if (!xref) Raise("Serialize", internal, "CPDFDoc::GetXRef()");
        if (!trailer) Raise("Serialize", internal, "CPDFDoc::GetTrailer()");
        body->Serialize(*output_);
        const int32_t size = xref->Size();
        // The table keeps the input's offsets until every object is written:
        // an object read meanwhile (a stream's indirect Length) is found
        // where it lies in the input, whether written already or not.
        std::vector<int32_t> written(static_cast<size_t>(size) + 1, -1);
        for (int32_t i = 1; i <= size; ++i) {
            XRefEntry* entry = xref->GetEntry(i);
            if (!entry || !entry->inUse) continue;
            if (const XRefEntry* early = spare_ ? spare_->GetEntry(i) : nullptr) {
                written[i] = early->offset;
                continue;
            }
            const CPDFObjRef ref(i, entry->genNum);
            int32_t offset;
            if (CPDFObject* obj = body->GetObj(ref)) {
                offset = StoreObj(ref, obj);
            } else {
                // Never touched: load, write and free it at once.
                std::unique_ptr<CPDFObject> loaded = LoadObj(ref, entry->offset);
                if (!loaded) Raise("Serialize", internal, "CPDFDoc::LoadObj()");
                offset = StoreObj(ref, loaded.get());
            }
            if (offset < 0) Raise("Serialize", internal, "CPDFDoc::StoreObj()");
            written[i] = offset;
        }
        for (int32_t i = 1; i <= size; ++i) {
            XRefEntry* entry = xref->GetEntry(i);
            if (entry && entry->inUse && written[i] >= 0) entry->offset = written[i];
        }
        const long xrefOffset = output_->Tell();
        if (xrefOffset > INT32_MAX) {
            errno = EFBIG;
            Raise("Serialize", CPDFException::RuntimeLibraryError, nullptr);
        }
        xref->Serialize(*output_);
        trailer->SetStartXRef(static_cast<int32_t>(xrefOffset));
        trailer->Serialize(*output_);
        output_->Flush();
        if (output_->Error()) {
            errno = output_->SavedErrno();
            Raise("Serialize", CPDFException::RuntimeLibraryError, nullptr);
        }
        return true;
    });
}

bool CPDFDoc::SetDocInfo() {
    lastError_.Clear();
    return Guarded("SetDocInfo", false, [&] {
        CPDFTrailer* trailer = GetTrailer();
        if (!trailer) Raise("SetDocInfo", CPDFException::InternalError, "CPDFDoc::GetTrailer()");
        CPDFObjRef ref;
        CPDFObject* found = trailer->Get_InfoObj(&ref);
        auto* info = dynamic_cast<CPDFInfoDict*>(found);
        if (!info) {
            // None, or something that is not an information dictionary: a new
            // one takes its place.
            auto fresh = std::make_unique<CPDFInfoDict>();
            fresh->SetDoc(this);
            info = fresh.get();
            CPDFObjRef newRef;
            if (!trailer->Set_Info(std::move(fresh), true, &newRef)) return false;
        } else if (ref.IsSet() && !UpdateObj(ref)) {
            Raise("SetDocInfo", CPDFException::InternalError, "CPDFDoc::UpdateObj()");
        }
        auto date = std::make_unique<CPDFDate>();
        date->SetTime(Now(), false);
        const bool dated = info->Has("CreationDate")
                               ? info->Set_ModDate(std::move(date), false)
                               : info->Set_CreationDate(std::move(date), false);
        if (!dated) return false;
        return info->Set_Producer(std::make_unique<CPDFText>("corvina"), false);
    });
}

bool CPDFDoc::Flush() {
    lastError_.Clear();
    const bool ok = Guarded("Flush", false, [&] {
        const int internal = CPDFException::InternalError;
        const int runtime = CPDFException::RuntimeLibraryError;
        if (!saveCalled_)
            Raise("Flush", CPDFException::UserError, "CPDFDoc::Save() has not been called.");
        flushing_ = true;
        if (!IsFDF() && !SetDocInfo()) Raise("Flush", internal, "CPDFDoc::SetDocInfo()");
        if (!WriteAllObjects()) {
            if (direct_ && output_ && output_->Error()) {
                // What a device or pipe refuses (full, no reader) is the
                // system's own report, not a fault of the document.
                lastError_.Clear();
                errno = output_->SavedErrno();
                Raise("Flush", CPDFException::SystemError, nullptr);
            }
            Raise("Flush", internal, "CPDFDoc::Serialize()");
        }

        spare_.reset();
        output_->Close();
        const int closeErrno = output_->SavedErrno();
        output_.reset();
        if (closeErrno) {
            errno = closeErrno;
            Raise("Flush", direct_ ? CPDFException::SystemError : runtime, nullptr);
        }
        const bool reread = !direct_;
        if (direct_) {
            // Nothing to read back from a stream: the document stands for
            // what it wrote but has no input any more.
            if (!writePath_.empty()) filePath_ = writePath_;
        } else if (replaceViaTemp_) {
            // The finished file takes the target's permission bits (a new
            // file gets what the umask allows), then one rename replaces it.
            struct stat st;
            mode_t mode;
            if (::stat(targetPath_.c_str(), &st) == 0) {
                mode = st.st_mode & 07777;
            } else {
                const mode_t mask = ::umask(0);
                ::umask(mask);
                mode = 0666 & ~mask;
            }
            if (::chmod(writePath_.c_str(), mode) != 0) Raise("Flush", runtime, nullptr);
            if (::rename(writePath_.c_str(), targetPath_.c_str()) != 0)
                Raise("Flush", runtime, nullptr);
            filePath_ = targetPath_;
        } else if (!writePath_.empty()) {
            filePath_ = writePath_;
        }
        if (input_) input_->Close();
        input_.reset();

        docKey_ = std::move(outputKey_);
        writePath_.clear();
        targetPath_.clear();
        appendBase_ = -1;
        outputCreated_ = false;
        replaceViaTemp_ = false;
        direct_ = false;
        flushing_ = false;
        saveCalled_ = false;

        if (reread) {
            input_ = std::make_unique<FileInStream>(65536);
            if (!input_->Open(filePath_.c_str(), "rb", 0, -1, 65536)) {
                errno = input_->SavedErrno();
                Raise("Flush", runtime, nullptr);
            }
        }
        spare_ = std::make_unique<CPDFXRef>();
        if (!spare_->Create(this, nullptr)) Raise("Flush", internal, "CPDFXRef::Create()");
        CreateWorkingSection("Flush");
        return true;
    });
    if (!ok) DiscardSave();
    return ok;
}

void CPDFDoc::DiscardSave() {
    if (output_) output_->Close();
    output_.reset();
    saveCalled_ = false;
    flushing_ = false;
    replaceViaTemp_ = false;
    // A device or pipe written into is left as it is: there is nothing of
    // the document's own to remove or cut.
    direct_ = false;
    if (!writePath_.empty()) {
        if (outputCreated_) {
            std::remove(writePath_.c_str());
        } else if (appendBase_ >= 0) {
            // A failed append to the document's own file is cut off again.
            if (::truncate(writePath_.c_str(), appendBase_) != 0) {
                // Nothing more can be done; the appended bytes follow a
                // complete file and are ignored by readers.
            }
        }
        writePath_.clear();
    }
    targetPath_.clear();
    appendBase_ = -1;
    outputCreated_ = false;
    outputKey_.reset();
}

}  // namespace corvina
