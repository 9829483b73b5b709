#include "tool/CPDFDriver.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string_view>

#include "pdf/file/CPDFDoc.h"
#include "pdf/io/DecimalText.h"
#include "pdf/io/Limits.h"
#include "pdf/io/MemInStream.h"
#include "pdf/io/TempName.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFText.h"
#include "pdf/object/Factors.h"
#include "pdf/structure/CPDFCatalog.h"
#include "pdf/structure/CPDFDestination.h"
#include "pdf/structure/CPDFLinkPoint.h"
#include "pdf/structure/CPDFNameDict.h"
#include "pdf/structure/CPDFNameTreeNode.h"
#include "tool/CDestsNode.h"
#include "tool/CLocaleText.h"
#include "tool/CLogSink.h"
#include "tool/CSignedDoc.h"

using corvina::CPDFArray;
using corvina::CPDFAtom;
using corvina::CPDFDict;
using corvina::CPDFException;
using corvina::CPDFObject;
using corvina::CPDFObjRef;

namespace {

// Buffers of the job: names and destination texts hold at most 255 bytes.
constexpr size_t kNameBuffer = 256;
// The job passes the page number and eight zeros.
constexpr int kFormatArgs = 9;
// The log's error line and the refusal of a name format.
constexpr char kErrorLine[] = "%%%%[ Error: %s ]%%%%";
constexpr char kInvalidFormatLine[] = "Invalid Format: %s";
constexpr char kWarningLine[] = "%%%%[ Warning: %s ]%%%%";

// One conversion of a name format: its text and what it consumes.
struct Conversion {
    std::string text;  // "%", flags, width, precision, length, conversion
    int stars = 0;     // '*' widths and precisions, each taking an argument
    std::string length;
    char conv = 0;
};

// Splits a format into literal text and integer conversions. False for
// anything printf could read or write memory with (%s, %n, %f, %c, %1$d, ...).
bool ParseFormat(const char* format, std::vector<std::string>& literals,
                 std::vector<Conversion>& convs) {
    literals.assign(1, "");
    convs.clear();
    int consumed = 0;
    for (const char* p = format; *p;) {
        if (*p != '%') {
            literals.back() += *p++;
            continue;
        }
        ++p;
        if (*p == '%') {
            literals.back() += '%';
            ++p;
            continue;
        }
        Conversion c;
        c.text = "%";
        while (*p && std::strchr("-+ #0", *p)) c.text += *p++;
        if (*p == '*') {
            c.text += *p++;
            ++c.stars;
        } else {
            while (*p >= '0' && *p <= '9') c.text += *p++;
        }
        if (*p == '$') return false;
        if (*p == '.') {
            c.text += *p++;
            if (*p == '*') {
                c.text += *p++;
                ++c.stars;
            } else {
                while (*p >= '0' && *p <= '9') c.text += *p++;
            }
        }
        if ((p[0] == 'h' && p[1] == 'h') || (p[0] == 'l' && p[1] == 'l')) {
            c.length.push_back(*p++);
            c.length.push_back(*p++);
        } else if (*p && std::strchr("hljzt", *p)) {
            c.length.push_back(*p++);
        }
        if (!*p || !std::strchr("diouxX", *p)) return false;
        c.conv = *p++;
        c.text += c.length;
        c.text += c.conv;
        consumed += c.stars + 1;
        if (consumed > kFormatArgs) return false;
        convs.push_back(c);
        literals.emplace_back();
    }
    return true;
}

// printf of one integer conversion with the argument type its length asks for.
std::string FormatOne(const Conversion& c, const long* args, int& next) {
    char buf[kNameBuffer * 2];
    int star[2] = {0, 0};
    for (int i = 0; i < c.stars; ++i) star[i] = static_cast<int>(args[next++]);
    const long value = args[next++];
    // The default "%d" and its plain relatives, once per page: without printf.
    if (c.text == "%d" || c.text == "%i")
        return std::string(buf, corvina::detail::AppendDecimal(buf, static_cast<int>(value)));
    if (c.text == "%ld" || c.text == "%li")
        return std::string(buf, corvina::detail::AppendDecimal(buf, value));
    const bool isSigned = c.conv == 'd' || c.conv == 'i';
    const char* f = c.text.c_str();
    auto emit = [&](auto v) {
        switch (c.stars) {
            case 0:
                return std::snprintf(buf, sizeof buf, f, v);
            case 1:
                return std::snprintf(buf, sizeof buf, f, star[0], v);
            default:
                return std::snprintf(buf, sizeof buf, f, star[0], star[1], v);
        }
    };
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int n;
    if (c.length == "hh" || c.length == "h" || c.length.empty())
        n = isSigned ? emit(static_cast<int>(value)) : emit(static_cast<unsigned>(value));
    else if (c.length == "l")
        n = isSigned ? emit(value) : emit(static_cast<unsigned long>(value));
    else if (c.length == "ll")
        n = isSigned ? emit(static_cast<long long>(value))
                     : emit(static_cast<unsigned long long>(value));
    else if (c.length == "j")
        n = isSigned ? emit(static_cast<intmax_t>(value)) : emit(static_cast<uintmax_t>(value));
    else if (c.length == "z")
        n = isSigned ? emit(static_cast<ptrdiff_t>(value)) : emit(static_cast<size_t>(value));
    else
        n = isSigned ? emit(static_cast<ptrdiff_t>(value)) : emit(static_cast<size_t>(value));
#pragma GCC diagnostic pop
    if (n < 0) return std::string();
    // A width past the buffer is cut here; the caller refuses such a name anyway.
    return std::string(buf, std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

}  // namespace

struct CPDFDriver::FormatParts {
    std::vector<std::string> literals;
    std::vector<Conversion> convs;
};

std::unique_ptr<CPDFDriver> CreateDriver(const char* tempPath, CLogSink& log) {
    std::unique_ptr<corvina::CPDFLib> lib = corvina::CPDFLib::Create(tempPath);
    if (!lib) {
        log.WriteLog("cannot initialize corvina");
        return nullptr;
    }
    // The constructor is private, so make_unique cannot reach it.
    std::unique_ptr<CPDFDriver> driver(new CPDFDriver(log));
    driver->lib_ = std::move(lib);
    driver->tempPath_ = tempPath ? tempPath : "";
    return driver;
}

CPDFDriver::CPDFDriver(CLogSink& log) : log_(log) {}

CPDFDriver::~CPDFDriver() {
    if (doc_ && lib_) lib_->Close(doc_);
    doc_ = nullptr;
    UnlockInput();
}

bool CPDFDriver::LockInput(const char* inputPath) {
    UnlockInput();
    // Never waits for a FIFO's writer; what cannot be opened, or is no
    // regular file, is reported by the library's own open.
    const int fd = ::open(inputPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return true;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return true;
    }
    // A second run on the same file fails at once rather than waiting: one
    // of two runs replacing the same file would lose the other's work.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err != EWOULDBLOCK) return true;  // no locks here (some network file systems)
        Fail("cannot lock PDF Document: %s", inputPath);
        log_.WriteErrorReport(CPDFException("CPDFDriver", "Execute", CPDFException::UserError,
                                            "another run is working on this file"));
        return false;
    }
    lockFd_ = fd;
    return true;
}

void CPDFDriver::UnlockInput() {
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
}

bool CPDFDriver::CheckSignatures(const char* inputPath) {
    const CSignedDoc::Verdict verdict = CSignedDoc::Of(doc_, catalog_);
    doc_->GetLastError().Clear();
    const char* why = nullptr;
    if (verdict == CSignedDoc::NoChanges)
        why = "the document is certified with a signature that allows no changes";
    else if (verdict == CSignedDoc::Signed && !incremental_)
        why =
            "the document is signed and a full rewrite would invalidate its signatures: use -i "
            "to append an incremental update";
    if (!why) return true;
    Fail("cannot change PDF Document: %s", inputPath);
    log_.WriteErrorReport(CPDFException("CPDFDriver", "Execute", CPDFException::UserError, why));
    return false;
}

bool CPDFDriver::SetParams(long startPage, long endPage, const char* format, const char* fitType,
                           bool overwrite, bool remove) {
    startPage_ = startPage;
    endPage_ = endPage;
    format_ = format ? format : "%d";
    formatParts_.reset();
    counts_ = Counts();
    fitType_ = fitType ? fitType : "/XYZ null null null";
    fitArray_.reset();
    overwrite_ = overwrite;
    remove_ = remove;
    return true;
}

void CPDFDriver::SetPassword(const char* password) {
    password_.reset();
    if (password) password_ = password;
}

bool CPDFDriver::IsSafeFormat(const char* format) {
    std::vector<std::string> literals;
    std::vector<Conversion> convs;
    return format && ParseFormat(format, literals, convs);
}

void CPDFDriver::Fail(const char* format, const char* arg) {
    char text[1024];
    std::snprintf(text, sizeof text, format, arg);
    log_.SetLastErrorText(text);
    log_.WriteLog(kErrorLine, text);
}

bool CPDFDriver::CheckTempPath() {
    if (tempPath_.empty()) return true;
    const int problem = corvina::CheckTempDir(tempPath_.c_str());
    if (problem == 0) return true;
    const char* what = problem == ENOENT    ? "does not exist"
                       : problem == ENOTDIR ? "is not a directory"
                                            : "is not writable";
    Fail("invalid temporary directory: %s", tempPath_.c_str());
    const std::string factor = corvina::FormatFactor("temporary directory %s: %s (%s)", what,
                                                     tempPath_.c_str(), std::strerror(problem));
    log_.WriteErrorReport(
        CPDFException("CPDFDriver", "Execute", CPDFException::UserError, factor.c_str()));
    return false;
}

bool CPDFDriver::Execute(const char* inputPath, const char* outputPath) {
    try {
        if (RunSteps(inputPath, outputPath)) {
            lib_->Close(doc_);
            doc_ = nullptr;
            UnlockInput();
            return true;
        }
    } catch (...) {
        // Whatever a step lets escape fails the job like a step that failed.
    }
    // Closing discards an output that Flush did not finish; the input is
    // untouched.
    if (doc_) lib_->Close(doc_);
    doc_ = nullptr;
    UnlockInput();
    return false;
}

bool CPDFDriver::RunSteps(const char* inputPath, const char* outputPath) {
    // A temporary directory that cannot be used is refused before the
    // input is touched, not when a large stream first needs it.
    if (!CheckTempPath()) return false;
    // A format printf could misuse, or whose text the locale cannot read, is
    // refused before any file is touched.
    if (!remove_) {
        std::string mbName;
        std::u16string name;
        if (!MakeName(1, mbName, name)) return false;
    }

    std::string input = inputPath ? inputPath : "";
    if (!input.empty() && input.back() == '/') input.pop_back();
    struct stat st;
    if (::stat(input.c_str(), &st) != 0) {
        Fail("file not found: %s", inputPath ? inputPath : "");
        return false;
    }

    if (!LockInput(input.c_str())) return false;

    // The job moves the tree's references and never looks at a destination
    // it keeps: a tree of a million names must not load a million objects.
    lib_->SetOptions(lib_->Options() | corvina::CPDFLib::LeaveNameTrees);
    CPDFException openError;
    warningsLogged_ = 0;
    doc_ = lib_->Open(inputPath, password_ ? password_->c_str() : nullptr, &openError);
    if (!doc_) {
        Fail("cannot open PDF Document: %s", inputPath);
        // The library does not know the option that gives a password.
        if (std::strcmp(openError.GetFactor(), corvina::factor::kPasswordNeeded) == 0) {
            const std::string factor = std::string(corvina::factor::kPasswordNeeded) + " (-pw)";
            openError = CPDFException(openError.GetModule(), openError.GetMethod(),
                                      openError.GetType(), factor.c_str());
        }
        log_.WriteErrorReport(openError);
        return false;
    }
    // The output keeps the input's protection, and so its rules: changes need
    // the owner password when the permissions forbid them.
    if (!doc_->MayModify()) {
        Fail("cannot change PDF Document: %s", inputPath);
        log_.WriteErrorReport(CPDFException(
            "CPDFDriver", "Execute", CPDFException::UserError,
            "the document's permissions do not allow changes: give the owner password (-pw)"));
        return false;
    }

    // What opening a damaged file repaired: the job goes on, and its output
    // is a clean file.
    LogWarnings();
    catalog_ = doc_->GetCatalog(&catalogRef_);
    if (!catalog_) return false;
    if (!CheckSignatures(inputPath)) return false;
    names_dict_ = catalog_->Get_Names(&namesRef_);
    // Releasing written pages walks what they refer to; the name
    // dictionary the job still writes into must survive that.
    if (names_dict_) names_dict_->SetReleasable(false);
    pageCount_ = doc_->GetPageCount();

    // An output that cannot be made ends the job at once, with one report
    // naming it: going on would only fail again at Flush.
    if (incremental_ && (doc_->IsLinearized() || doc_->GetLineaParams()))
        log_.WriteLog("Notice: the linearization of %s is stale after an incremental update",
                      inputPath);
    if (!(incremental_ ? doc_->SaveUpdate(outputPath) : doc_->Save(outputPath, false, false))) {
        Fail("cannot save PDF Document: %s", outputPath ? outputPath : "");
        log_.WriteErrorReport(doc_->GetLastError());
        return false;
    }

    if (!CollectDests()) return false;

    if (!remove_) {
        const long first = startPage_ < 1 ? 1 : startPage_;
        const long last = (endPage_ == 0 || endPage_ >= pageCount_) ? pageCount_ : endPage_;
        // Pages are written as soon as they have their destination. A tree
        // that lists a page again (viewers show it twice) names one already
        // written; its destination only needs the reference.
        std::vector<bool> written;  // by object number
        auto wasWritten = [&written](const CPDFObjRef& r) {
            return r.IsSet() && static_cast<size_t>(r.objNum) < written.size() &&
                   written[static_cast<size_t>(r.objNum)];
        };
        for (long p = first; p <= last; ++p) {
            CPDFObjRef pageRef;
            if (!doc_->GetPage(static_cast<int32_t>(p - 1), &pageRef) && !wasWritten(pageRef)) {
                char text[64];
                std::snprintf(text, sizeof text, "cannot get PDF Page: %ld", p);
                log_.SetLastErrorText(text);
                log_.WriteLog(kErrorLine, text);
                log_.WriteErrorReport(doc_->GetLastError());
                return false;
            }
            if (!AddDest(p, pageRef)) return false;
            if (!wasWritten(pageRef)) {
                const auto num = static_cast<size_t>(pageRef.objNum);
                if (num >= written.size()) written.resize(num + 1 + num / 2);
                written[num] = true;
                doc_->ReleaseObj(pageRef, true);
            }
        }
        if (!WriteDests()) return false;
    } else if (!RemoveAllDests()) {
        return false;
    }

    // An update writes only the objects marked as changed: the name
    // dictionary and the catalog that may hold it or its new reference.
    if (incremental_) {
        if (namesRef_.IsSet() && !doc_->UpdateObj(namesRef_)) return false;
        if (catalogRef_.IsSet() && !doc_->UpdateObj(catalogRef_)) return false;
    }
    const bool flushed = doc_->Flush();
    // Repairs met while the objects were written (a wrong stream Length).
    LogWarnings();
    if (!flushed) {
        const char* current = doc_->GetFilePath();
        Fail("cannot flush PDF Document: %s", current ? current : "");
        log_.WriteErrorReport(doc_->GetLastError());
        return false;
    }
    return true;
}

void CPDFDriver::LogWarnings() {
    const auto& warnings = doc_->GetWarnings();
    for (; warningsLogged_ < warnings.size(); ++warningsLogged_)
        log_.WriteLog(kWarningLine, warnings[warningsLogged_].GetFactor());
}

bool CPDFDriver::MayRemove(const CPDFObjRef& ref) {
    if (!ref.IsSet() || ref == catalogRef_ || ref == namesRef_) return false;
    // An update keeps the old revision's bytes whatever it frees; freeing
    // them only adds entries that readers check against object streams.
    if (incremental_) return false;
    // Catalog, page tree nodes and pages are loaded and not releasable.
    const CPDFObject* loaded = doc_->FindObj(ref, false);
    return !loaded || loaded->IsReleasable();
}

bool CPDFDriver::CollectDests() {
    if (!names_dict_) return true;
    // The tree as the file has it: its nodes are read a pair at a time.
    CPDFAtom* root = names_dict_->Find("Dests");
    if (!root) return true;
    CPDFObjRef rootRef;
    if (root->Kind() == CPDFAtom::RefKind) rootRef = *static_cast<CPDFObjRef*>(root);
    std::vector<CPDFObjRef> nodes;
    const bool taken = corvina::CPDFNameTreeNode::TakePairs(
        doc_, root,
        [this](std::unique_ptr<CPDFAtom> key, std::unique_ptr<CPDFAtom> value) {
            return CollectPair(std::move(key), std::move(value));
        },
        &nodes);
    if (!taken) {
        Fail("cannot read Dests name tree: %s", "a node cannot be read or is nested too deep");
        log_.WriteErrorReport(doc_->GetLastError());
        return false;
    }
    if (MayRemove(rootRef) || !rootRef.IsSet())
        names_dict_->RemoveKey(doc_, "Dests");
    else
        names_dict_->Detach("Dests");

    // The old tree goes away whole, once it has been read: only its nodes,
    // and none that a name still points at.
    // The nodes are few beside the names: the set is of them.
    std::set<CPDFObjRef> gone(nodes.begin(), nodes.end());
    for (CNameMap::Index i = 0; i < names_->Size() && !gone.empty(); ++i)
        gone.erase(names_->Ref(i));
    for (const CPDFObjRef& ref : gone)
        if (MayRemove(ref)) doc_->RemoveObj(ref);
    return true;
}

bool CPDFDriver::CollectPair(std::unique_ptr<CPDFAtom> key, std::unique_ptr<CPDFAtom> value) {
    auto* text = dynamic_cast<corvina::CPDFString*>(corvina::AsObject(key.get()));
    if (!text || !value) return true;
    const std::string_view bytes(text->Text(), static_cast<size_t>(text->Length()));
    CPDFObjRef ref;
    if (value->Kind() == CPDFAtom::RefKind) {
        ref = *static_cast<CPDFObjRef*>(value.get());
    } else {
        CPDFObject* direct = corvina::AsObject(value.get());
        if (!direct || !(direct->Is(CPDFObject::Array) || direct->Is(CPDFObject::Dictionary)))
            return true;
        if (remove_) return true;
        // A destination written in the tree itself becomes an indirect object
        // of its own, written at once, so it survives the tree's replacement
        // and is not held until the end.
        value.release();
        if (!doc_->RegistObj(std::unique_ptr<CPDFObject>(direct), &ref)) return false;
        doc_->ReleaseObj(ref, true);
    }
    names_->AddRead(bytes, text->IsLiteral(), ref);
    return true;
}

bool CPDFDriver::MakeName(long page, std::string& mbName, std::u16string& name) {
    if (!formatParts_) {
        auto parts = std::make_unique<FormatParts>();
        if (!ParseFormat(format_.c_str(), parts->literals, parts->convs)) {
            log_.WriteLog(kInvalidFormatLine, format_.c_str());
            return false;
        }
        formatParts_ = std::move(parts);
    }
    const std::vector<std::string>& literals = formatParts_->literals;
    const std::vector<Conversion>& convs = formatParts_->convs;
    const long args[kFormatArgs] = {page, 0, 0, 0, 0, 0, 0, 0, 0};
    int next = 0;
    mbName = literals[0];
    for (size_t i = 0; i < convs.size(); ++i) {
        mbName += FormatOne(convs[i], args, next);
        mbName += literals[i + 1];
    }
    // Names longer than the job's buffer are refused, never cut.
    if (mbName.size() > kNameBuffer - 1) {
        log_.WriteLog(kInvalidFormatLine, format_.c_str());
        return false;
    }
    if (!locale_) locale_ = std::make_unique<CLocaleText>();
    // A name the locale cannot read is refused: an empty or altered name
    // would stand for another page's, or for none.
    if (!locale_->ToUTF16(mbName, name)) {
        Fail("cannot make a destination name: %s", format_.c_str());
        const std::string factor = corvina::FormatFactor(
            "name format is not valid %s text: %s", locale_->Codeset().c_str(), format_.c_str());
        log_.WriteErrorReport(
            CPDFException("CPDFDriver", "MakeName", CPDFException::UserError, factor.c_str()));
        return false;
    }
    return true;
}

namespace {

// Values that copy without the document: no reference, no container.
bool IsPlainValue(const CPDFAtom* atom) {
    const CPDFObject* obj = atom && atom->Kind() == CPDFAtom::ObjectKind
                                ? static_cast<const CPDFObject*>(atom)
                                : nullptr;
    if (!obj) return false;
    switch (obj->TypeCode()) {
        case CPDFObject::Bool:
        case CPDFObject::Number:
        case CPDFObject::Integer:
        case CPDFObject::Real:
        case CPDFObject::Name:
        case CPDFObject::Null:
            return true;
        default:
            return false;
    }
}

}  // namespace

void CPDFDriver::KeepFitArray(const CPDFArray* parsed) {
    if (fitArray_ || !parsed || !parsed->GetAt(0) || parsed->GetAt(0)->Kind() != CPDFAtom::RefKind)
        return;
    auto members = std::make_unique<CPDFArray>();
    for (int i = 1; i < parsed->Count(); ++i) {
        if (!IsPlainValue(parsed->GetAt(i))) return;
        std::unique_ptr<CPDFObject> value =
            static_cast<const CPDFObject*>(parsed->GetAt(i))->Duplicate(doc_, doc_);
        if (!value || !members->Push_Back(std::move(value))) return;
    }
    fitArray_ = std::move(members);
}

std::unique_ptr<CPDFArray> CPDFDriver::CopyFitArray(const CPDFObjRef& pageRef) {
    if (!fitArray_) return nullptr;
    auto array = std::make_unique<CPDFArray>();
    if (!array->ReserveSlots(fitArray_->Count() + 1) ||
        !array->Push_Back(std::make_unique<CPDFObjRef>(pageRef.objNum, pageRef.genNum)))
        return nullptr;
    for (int i = 0; i < fitArray_->Count(); ++i) {
        std::unique_ptr<CPDFObject> value =
            static_cast<const CPDFObject*>(fitArray_->GetAt(i))->Duplicate(doc_, doc_);
        if (!value || !array->Push_Back(std::move(value))) return nullptr;
    }
    return array;
}

bool CPDFDriver::AddDest(long page, const CPDFObjRef& pageRef) {
    std::string mbName;
    std::u16string name;
    if (!MakeName(page, mbName, name)) return false;
    // A name the tree holds under another spelling of the same text, (1)
    // or <FEFF0031>, is the same name.
    const CNameMap::Index existing = names_->Find(name);
    if (existing != CNameMap::kNone) {
        if (!overwrite_) {
            log_.WriteLog("Named destination already exists: %s", mbName.c_str());
            ++counts_.present;
            return true;
        }
        if (MayRemove(names_->Ref(existing))) doc_->RemoveObj(names_->Ref(existing));
    }

    // "[%ld %ld R %s]", which must fit the job's buffer of kNameBuffer bytes
    // with its terminator.
    char text[kNameBuffer + 2 * corvina::detail::kDecimalMax + 8];
    int n = -1;
    if (fitType_.size() < kNameBuffer) {
        char* end = text;
        *end++ = '[';
        end = corvina::detail::AppendDecimal(end, pageRef.objNum);
        *end++ = ' ';
        end = corvina::detail::AppendDecimal(end, pageRef.genNum);
        std::memcpy(end, " R ", 3);
        end += 3;
        std::memcpy(end, fitType_.data(), fitType_.size());
        end += fitType_.size();
        *end++ = ']';
        *end = 0;
        n = static_cast<int>(end - text);
    }
    std::unique_ptr<CPDFArray> array;
    if (n > 0 && static_cast<size_t>(n) < kNameBuffer) {
        array = CopyFitArray(pageRef);
        if (!array) {
            try {
                corvina::MemInStream in(text, n);
                array = CPDFArray::SerializeObject(doc_, in, nullptr);
            } catch (const CPDFException&) {
                array.reset();
            }
            KeepFitArray(array.get());
        }
    }
    auto dest = std::make_unique<corvina::CPDFDestination>();
    if (!array || !corvina::CPDFDestination::Recognize(doc_, array.get()) ||
        !dest->Load(doc_, array.get())) {
        log_.WriteLog("Invalid FitType: %s", fitType_.c_str());
        return false;
    }
    array.reset();

    auto point = std::make_unique<corvina::CPDFLinkPoint>();
    if (!point->Create(doc_, std::move(dest))) return false;
    CPDFObjRef ref;
    if (!doc_->RegistObj(std::move(point), &ref)) return false;
    // A replaced name keeps the key the file gave it; only its value changes.
    if (existing != CNameMap::kNone) {
        names_->SetRef(existing, ref);
        ++counts_.replaced;
    } else {
        names_->AddNew(name, ref);
        ++counts_.added;
    }
    // Written at once: the tree needs only its reference.
    doc_->ReleaseObj(ref, true);
    return true;
}

bool CPDFDriver::WriteDests() {
    if (names_->Empty()) return true;
    // Keys in the order of their bytes, each as the file wrote it or, for a
    // new name, as a byte string when it is ASCII: readers search the keys by
    // their bytes, and links in the file name them by those bytes. The node
    // takes the map and writes its pairs from it.
    auto node = std::make_unique<CDestsNode>(std::move(names_));
    names_ = std::make_unique<CNameMap>();
    node->Attach(doc_);

    if (!names_dict_) {
        auto dict = std::make_unique<corvina::CPDFNameDict>();
        dict->Attach(doc_);
        corvina::CPDFNameDict* raw = dict.get();
        if (!catalog_->Set_Names(std::move(dict), true)) return false;
        names_dict_ = raw;
    }
    CPDFObjRef nodeRef;
    if (!names_dict_->Set_Dests(std::move(node), true, &nodeRef)) return false;
    // Written at once, while the map it owns is at hand.
    doc_->ReleaseObj(nodeRef, true);
    return true;
}

bool CPDFDriver::RemoveAllDests() {
    counts_.removed = static_cast<long>(names_->Size());
    for (CNameMap::Index i = 0; i < names_->Size(); ++i)
        if (MayRemove(names_->Ref(i))) doc_->RemoveObj(names_->Ref(i));
    names_->Clear();
    return true;
}
