// The stream's encoder and decoder slots and the bookkeeping of its Filter
// and DecodeParms entries.
#include <memory>
#include <new>
#include <string>

#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNull.h"
#include "pdf/object/CPDFObjHolder.h"
#include "pdf/stream/CPDFASCII85Filter.h"
#include "pdf/stream/CPDFASCIIHexFilter.h"
#include "pdf/stream/CPDFCCITTFaxFilter.h"
#include "pdf/stream/CPDFDCTFilter.h"
#include "pdf/stream/CPDFFlateFilter.h"
#include "pdf/stream/CPDFLZWFilter.h"
#include "pdf/stream/CPDFRunLengthFilter.h"
#include "pdf/stream/CPDFStream.h"
#include "pdf/stream/FilterData.h"

namespace corvina {

namespace {

constexpr char kModule[] = "CPDFStream";
constexpr char kFilter[] = "Filter";
constexpr char kDecodeParms[] = "DecodeParms";

void Record(CPDFException* errors, const CPDFException& e) {
    if (errors) *errors = e;
}

[[noreturn]] void Throw(const char* method, int type, const std::string& factor) {
    throw CPDFException(kModule, method, type, factor.c_str());
}

std::string TypeCheck(const CPDFObject* value) {
    return FormatFactor("typecheck: %s", value ? value->TypeName() : "Null");
}

CPDFDict* AsDict(CPDFObject* parms) {
    return parms && parms->Is(CPDFObject::Dictionary) ? static_cast<CPDFDict*>(parms) : nullptr;
}

FilterCall MakeCall(CPDFException* errors, PDFProgressProc progress, PDFCancelProc cancel,
                    const PDFProgressRange& range) {
    FilterCall call;
    call.errors = errors;
    call.progress = progress;
    call.cancel = cancel;
    call.range = range;
    return call;
}

// A null object in a DecodeParms array stands for no parameters.
CPDFObject* NoNull(CPDFObject* value) {
    return value && value->Is(CPDFObject::Null) ? nullptr : value;
}

// The full name of a filter, also for the abbreviations that inline images
// use and that real files put in streams too.
std::string FullFilterName(const char* name) {
    static const char* const kShort[][2] = {{"AHx", "ASCIIHexDecode"}, {"A85", "ASCII85Decode"},
                                            {"Fl", "FlateDecode"},     {"RL", "RunLengthDecode"},
                                            {"CCF", "CCITTFaxDecode"}, {"DCT", "DCTDecode"},
                                            {"LZW", "LZWDecode"}};
    const std::string n = name ? name : "";
    for (const auto& pair : kShort)
        if (n == pair[0]) return pair[1];
    return n;
}

}  // namespace

bool CPDFStream::TakeData(TempHugeString<char>& bytes) {
    srcOffset_ = srcLength_ = -1;
    data_.Swap(bytes);
    if (UpdateLength()) {
        bytes.Clear();
        return true;
    }
    data_.Swap(bytes);
    return false;
}

template <class Run>
bool CPDFStream::ApplyFilter(const char* method, const FilterCall& call, CPDFObject* parms,
                             Run run) {
    try {
        filterWarning_.clear();
        const char* bytes = GetData();
        if (!bytes) Throw(method, CPDFException::InternalError, "ioerror");
        FilterData data(*this, doc_, bytes, GetDataLength(), AsDict(parms));
        if (!run(data)) return false;
        filterWarning_ = std::move(data.warning);
        if (data.length == 0) return true;
        if (!TakeData(data.result)) Throw(method, CPDFException::InternalError, "");
        return true;
    } catch (const CPDFException& e) {
        Record(call.errors, e);
    } catch (...) {
        if (call.errors) call.errors->Clear();
    }
    return false;
}

#define CORVINA_ENCODER(Slot, Filter, Name)                                                      \
    bool CPDFStream::Slot(CPDFException* errors, PDFProgressProc progress, PDFCancelProc cancel, \
                          const PDFProgressRange& range) {                                       \
        const FilterCall call = MakeCall(errors, progress, cancel, range);                       \
        return ApplyFilter(#Slot, call, nullptr,                                                 \
                           [&](FilterData& d) { return Filter().Encode(d, call); }) &&           \
               EncodeFilter(Name, nullptr, errors);                                              \
    }

CORVINA_ENCODER(EncodeASCIIHex, CPDFASCIIHexFilter, "ASCIIHexDecode")
CORVINA_ENCODER(EncodeASCII85, CPDFASCII85Filter, "ASCII85Decode")
CORVINA_ENCODER(EncodeFlate, CPDFFlateFilter, "FlateDecode")
CORVINA_ENCODER(EncodeRunLength, CPDFRunLengthFilter, "RunLengthDecode")
CORVINA_ENCODER(EncodeLZW, CPDFLZWFilter, "LZWDecode")
#undef CORVINA_ENCODER

bool CPDFStream::EncodeCCITTFax(int32_t k, CPDFException* errors, PDFProgressProc progress,
                                PDFCancelProc cancel, const PDFProgressRange& range) {
    const FilterCall call = MakeCall(errors, progress, cancel, range);
    std::unique_ptr<CPDFDict> parms;
    return ApplyFilter(
               "EncodeCCITTFax", call, nullptr,
               [&](FilterData& d) { return CPDFCCITTFaxFilter().Encode(d, call, k, parms); }) &&
           EncodeFilter("CCITTFaxDecode", std::move(parms), errors);
}

bool CPDFStream::EncodeDCT(int32_t quality, CPDFException* errors, PDFProgressProc progress,
                           PDFCancelProc cancel, const PDFProgressRange& range) {
    const FilterCall call = MakeCall(errors, progress, cancel, range);
    return ApplyFilter("EncodeDCT", call, nullptr,
                       [&](FilterData& d) { return CPDFDCTFilter().Encode(d, call, quality); }) &&
           EncodeFilter("DCTDecode", nullptr, errors);
}

#define CORVINA_DECODER(Slot, Filter)                                                         \
    bool CPDFStream::Slot(CPDFObject* parms, CPDFException* errors, PDFProgressProc progress, \
                          PDFCancelProc cancel, const PDFProgressRange& range) {              \
        FilterCall call = MakeCall(errors, progress, cancel, range);                          \
        call.limit = decodeLimit_;                                                            \
        return ApplyFilter(#Slot, call, parms,                                                \
                           [&](FilterData& d) { return Filter().Decode(d, call); });          \
    }

CORVINA_DECODER(DecodeASCIIHex, CPDFASCIIHexFilter)
CORVINA_DECODER(DecodeASCII85, CPDFASCII85Filter)
CORVINA_DECODER(DecodeFlate, CPDFFlateFilter)
CORVINA_DECODER(DecodeRunLength, CPDFRunLengthFilter)
CORVINA_DECODER(DecodeCCITTFax, CPDFCCITTFaxFilter)
CORVINA_DECODER(DecodeDCT, CPDFDCTFilter)
CORVINA_DECODER(DecodeLZW, CPDFLZWFilter)
#undef CORVINA_DECODER

bool CPDFStream::DecodeReserved(CPDFObject*, CPDFException* errors, PDFProgressProc, PDFCancelProc,
                                const PDFProgressRange&) {
    Record(errors, CPDFException(kModule, "DecodeReserved", CPDFException::InternalError, ""));
    return false;
}

bool CPDFStream::DecodeFilter(const char* name, CPDFObject* parms, CPDFException* errors,
                              PDFProgressProc progress, PDFCancelProc cancel,
                              const PDFProgressRange& range) {
    const std::string n = FullFilterName(name);
    if (n == "ASCIIHexDecode") return DecodeASCIIHex(parms, errors, progress, cancel, range);
    if (n == "ASCII85Decode") return DecodeASCII85(parms, errors, progress, cancel, range);
    if (n == "FlateDecode") return DecodeFlate(parms, errors, progress, cancel, range);
    if (n == "RunLengthDecode") return DecodeRunLength(parms, errors, progress, cancel, range);
    if (n == "CCITTFaxDecode") {
        // No parameters at all are the format's defaults; anything else must
        // be a dictionary.
        if (parms && !AsDict(parms)) {
            Record(errors, CPDFException(kModule, "CCITTFaxDecode", CPDFException::InvalidFormat,
                                         TypeCheck(parms).c_str()));
            return false;
        }
        return DecodeCCITTFax(parms, errors, progress, cancel, range);
    }
    if (n == "DCTDecode") return DecodeDCT(parms, errors, progress, cancel, range);
    if (n == "LZWDecode") return DecodeLZW(parms, errors, progress, cancel, range);
    // Its decryption happened as the data was read (or it is Identity).
    if (n == "Crypt") return true;
    Record(errors, CPDFException(kModule, "DecodeFilter", CPDFException::InvalidFormat,
                                 FormatFactor("unknown filter: %s", n.c_str()).c_str()));
    return false;
}

// A filter array is undone first to last. When one fails, Filter and
// DecodeParms are left listing exactly the filters not yet undone, so that
// the entries still describe the data as it now is.
bool CPDFStream::DecodeAllFilter(CPDFException* errors, PDFProgressProc progress,
                                 PDFCancelProc cancel, const PDFProgressRange& range) {
    constexpr char kMethod[] = "DecodeAllFilter";
    try {
        filterWarning_.clear();
        CPDFObject* filter = Get_Filter();
        if (!filter) return true;
        CPDFObject* parms = Get_DecodeParms();
        if (filter->Is(Name)) {
            if (!DecodeFilter(static_cast<CPDFName*>(filter)->Text(), NoNull(parms), errors,
                              progress, cancel, range))
                return false;
            Detach(kFilter);
            Detach(kDecodeParms);
            return true;
        }
        if (!filter->Is(Array)) Throw(kMethod, CPDFException::InvalidFormat, TypeCheck(filter));
        if (parms && !parms->Is(Array))
            Throw(kMethod, CPDFException::InvalidFormat, TypeCheck(parms));
        // Direct copies: an indirect array may be shared with other streams.
        std::unique_ptr<CPDFObject> names = filter->Duplicate(doc_, doc_);
        std::unique_ptr<CPDFObject> list = parms ? parms->Duplicate(doc_, doc_) : nullptr;
        if (!names || (parms && !list)) Throw(kMethod, CPDFException::InternalError, "");
        auto* f = static_cast<CPDFArray*>(names.get());
        auto* p = static_cast<CPDFArray*>(list.get());
        const int n = f->Count();
        const int64_t span = int64_t{range.end} - range.start;
        // Each filter starts its own warning; the chain keeps all of them.
        std::string warnings;
        auto keepWarning = [&] {
            if (filterWarning_.empty()) return;
            if (!warnings.empty()) warnings += "; ";
            warnings += filterWarning_;
        };
        for (int i = 0; i < n; ++i) {
            CPDFObject* name = f->GetObj(doc_, 0);
            if (!name || !name->Is(Name))
                Throw(kMethod, CPDFException::InvalidFormat, TypeCheck(name));
            CPDFObject* own = p && p->Count() > 0 ? NoNull(p->GetObj(doc_, 0)) : nullptr;
            PDFProgressRange part = range;
            part.start = static_cast<int32_t>(range.start + span * i / n);
            part.end = static_cast<int32_t>(range.start + span * (i + 1) / n);
            filterWarning_.clear();
            const bool ok = DecodeFilter(static_cast<CPDFName*>(name)->Text(), own, errors,
                                         progress, cancel, part);
            keepWarning();
            filterWarning_ = warnings;
            if (!ok) {
                if (i > 0) {
                    Set_Filter(
                        std::unique_ptr<CPDFArray>(static_cast<CPDFArray*>(names.release())));
                    if (p && p->Count() > 0)
                        Set_DecodeParms(
                            std::unique_ptr<CPDFArray>(static_cast<CPDFArray*>(list.release())));
                    else
                        Detach(kDecodeParms);
                }
                return false;
            }
            f->Erase(0);
            if (p && p->Count() > 0) p->Erase(0);
        }
        Detach(kFilter);
        Detach(kDecodeParms);
        return true;
    } catch (const CPDFException& e) {
        Record(errors, e);
    } catch (...) {
        if (errors) errors->Clear();
    }
    return false;
}

bool CPDFStream::EncodeFilter(const char* name, std::unique_ptr<CPDFObject> parms,
                              CPDFException* errors) {
    constexpr char kMethod[] = "EncodeFilter";
    try {
        auto push = [&](CPDFArray& array, std::unique_ptr<CPDFAtom> atom) {
            if (!array.PushFront(std::move(atom)))
                Throw(kMethod, CPDFException::InternalError, "CPDFArray::Push_Back()");
        };
        auto setParms = [&](std::unique_ptr<CPDFArray> array) {
            if (!Set_DecodeParms(std::move(array)))
                Throw(kMethod, CPDFException::InternalError, "CPDFStream::Set_DecodeParms()");
        };
        auto newParms = [&]() -> std::unique_ptr<CPDFAtom> {
            if (parms) return std::move(parms);
            return std::make_unique<CPDFNull>();
        };
        // An old DecodeParms value kept behind the new filter's parameters.
        auto behind = [&](std::unique_ptr<CPDFAtom> old) {
            auto list = std::make_unique<CPDFArray>();
            if (!list->Push_Back(std::move(old)))
                Throw(kMethod, CPDFException::InternalError, "CPDFArray::Push_Back()");
            push(*list, newParms());
            setParms(std::move(list));
        };
        // The new parameters first, then nulls for the filters that have
        // none, so the two arrays keep the same length as readers require.
        auto first = [&](int filters) {
            auto list = std::make_unique<CPDFArray>();
            push(*list, newParms());
            while (list->Count() < filters)
                if (!list->Push_Back(std::make_unique<CPDFNull>()))
                    Throw(kMethod, CPDFException::InternalError, "CPDFArray::Push_Back()");
            setParms(std::move(list));
        };
        CPDFObject* filter = Get_Filter();
        if (!filter) {
            if (!Set_Filter(std::make_unique<CPDFName>(name)))
                Throw(kMethod, CPDFException::InternalError, "");
            if (parms) {
                auto* dict = AsDict(parms.get());
                if (!dict)
                    Throw(kMethod, CPDFException::InternalError, "CPDFStream::Set_DecodeParms()");
                parms.release();
                if (!Set_DecodeParms(std::unique_ptr<CPDFDict>(dict)))
                    Throw(kMethod, CPDFException::InternalError, "CPDFStream::Set_DecodeParms()");
            }
            return true;
        }
        if (filter->Is(Name)) {
            auto names = std::make_unique<CPDFArray>();
            std::unique_ptr<CPDFAtom> old = Detach(kFilter);
            if (!names->Push_Back(std::move(old)))
                Throw(kMethod, CPDFException::InternalError, "CPDFArray::Push_Back()");
            push(*names, std::make_unique<CPDFName>(name));
            if (!Set_Filter(std::move(names))) Throw(kMethod, CPDFException::InternalError, "");
            if (Has(kDecodeParms))
                behind(Detach(kDecodeParms));
            else if (parms)
                first(2);
            return true;
        }
        if (!filter->Is(Array)) Throw(kMethod, CPDFException::InternalError, TypeCheck(filter));
        auto* names = static_cast<CPDFArray*>(filter);
        const int before = names->Count();
        push(*names, std::make_unique<CPDFName>(name));
        CPDFObject* old = Get_DecodeParms();
        if (old && old->Is(Array)) {
            push(*static_cast<CPDFArray*>(old), newParms());
        } else if (old) {
            behind(Detach(kDecodeParms));
        } else if (parms) {
            first(before + 1);
        }
        return true;
    } catch (const CPDFException& e) {
        Record(errors, e);
    } catch (...) {
        if (errors) errors->Clear();
    }
    return false;
}

}  // namespace corvina
