#include "pdf/file/CPDFObjStmPacker.h"

#include <zlib.h>

#include <cstring>
#include <optional>
#include <utility>

#include "pdf/file/ObjectExtent.h"
#include "pdf/io/DecimalText.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/stream/CPDFStream.h"
#include "pdf/stream/StrLoad.h"

namespace corvina {
namespace {

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

constexpr char kHead[] = "1 0 obj\n";
constexpr char kTail[] = "\nendobj\n";
constexpr char kEndStream[] = "endstream";
// A stream of large objects closes before its hundred: what it holds stays
// far from the 32-bit lengths of a stream, and memory stays small.
constexpr size_t kMaxBody = 8 << 20;

void AppendNumber(std::string& to, long value) {
    char text[detail::kDecimalMax + 1];
    char* end = detail::AppendDecimal(text, value);
    to.append(text, static_cast<size_t>(end - text));
}

}  // namespace

CPDFObjStmPacker::CPDFObjStmPacker(CPDFObjHolder* doc, Number number, Emit emit, int perStream)
    : doc_(doc),
      number_(std::move(number)),
      emit_(std::move(emit)),
      perStream_(perStream < 1 ? 1 : perStream) {}

CPDFObjStmPacker::~CPDFObjStmPacker() = default;

bool CPDFObjStmPacker::AddBytes(int32_t objNum, const char* bytes, int32_t length) {
    if (!bytes || length <= 0) return false;
    const char* begin = bytes;
    const char* end = bytes + length;
    while (begin < end && IsWhite(*begin)) ++begin;
    while (end > begin && IsWhite(end[-1])) --end;
    const size_t n = static_cast<size_t>(end - begin);
    if (n == 0) return false;
    // The bytes are read as a reader of the new file would: one value and
    // nothing after it. A stream ends in its keyword; it never goes in.
    if (n >= sizeof kEndStream - 1 &&
        std::memcmp(end - (sizeof kEndStream - 1), kEndStream, sizeof kEndStream - 1) == 0)
        return false;
    scratch_.assign(kHead);
    scratch_.append(begin, n);
    scratch_.append(kTail);
    StrLoad in;
    if (!in.Open(scratch_.data(), static_cast<int32_t>(scratch_.size()))) return false;
    detail::ObjectExtent extent;
    const auto noLength = [](const CPDFObjRef&) -> std::optional<int32_t> { return std::nullopt; };
    if (!detail::ScanObjectExtent(in, 0, CPDFObjRef(1, 0), noLength, &extent) ||
        extent.end != static_cast<int>(scratch_.size()) - 1)
        return false;
    Open();
    const size_t start = body_.size();
    body_.append(begin, n);
    body_.push_back('\n');
    Place(objNum, start);
    return true;
}

void CPDFObjStmPacker::AddObject(int32_t objNum, CPDFObject& obj) {
    Open();
    MemOutStream out;
    obj.Serialize(out, nullptr);
    const size_t start = body_.size();
    body_.append(out.Data());
    body_.push_back('\n');
    Place(objNum, start);
}

void CPDFObjStmPacker::Open() {
    if (count_ > 0) return;
    number_(&stmNum_, &stmGen_);
    pairs_.clear();
    body_.clear();
}

void CPDFObjStmPacker::Place(int32_t objNum, size_t start) {
    AppendNumber(pairs_, objNum);
    pairs_.push_back(' ');
    AppendNumber(pairs_, static_cast<long>(start));
    pairs_.push_back(' ');
    placed_.push_back(Placed{objNum, stmNum_, count_});
    if (++count_ >= perStream_ || body_.size() >= kMaxBody) Close();
}

void CPDFObjStmPacker::Close() {
    if (count_ == 0) return;
    CPDFStream stream(doc_);
    const int32_t first = static_cast<int32_t>(pairs_.size());
    stream.Insert("Type", std::make_unique<CPDFName>("ObjStm"));
    stream.Insert("N", std::make_unique<CPDFInt>(count_));
    stream.Insert("First", std::make_unique<CPDFInt>(first));
    pairs_.append(body_);
    // zlib's default level, as producers of compact files use: at the
    // fastest one a file of many small objects grows by a tenth.
    uLongf size = compressBound(static_cast<uLong>(pairs_.size()));
    packed_.resize(size);
    if (compress2(reinterpret_cast<Bytef*>(packed_.data()), &size,
                  reinterpret_cast<const Bytef*>(pairs_.data()), static_cast<uLong>(pairs_.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK ||
        !stream.SetData(packed_.data(), static_cast<int32_t>(size)) ||
        !stream.Set_Filter(std::make_unique<CPDFName>("FlateDecode")))
        throw CPDFException("CPDFObjStmPacker", "Close", CPDFException::InternalError,
                            "compress2()");
    const int32_t num = stmNum_;
    const int32_t gen = stmGen_;
    count_ = 0;
    pairs_.clear();
    body_.clear();
    emit_(num, gen, stream);
}

}  // namespace corvina
