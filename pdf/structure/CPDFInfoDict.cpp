#include "pdf/structure/CPDFInfoDict.h"

#include <exception>

#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFText.h"
#include "pdf/structure/CPDFDate.h"
#include "pdf/structure/StructType.h"
#include "pdf/structure/TypedLoad.h"

namespace corvina {

namespace {

constexpr char kAuthor[] = "Author";
constexpr char kCreationDate[] = "CreationDate";
constexpr char kModDate[] = "ModDate";
constexpr char kCreator[] = "Creator";
constexpr char kProducer[] = "Producer";
constexpr char kTitle[] = "Title";
constexpr char kSubject[] = "Subject";
constexpr char kKeywords[] = "Keywords";

}  // namespace

CPDFInfoDict::CPDFInfoDict() : CPDFDocStruct(detail::InfoDictType) {}

bool CPDFInfoDict::Recognize(CPDFObjHolder* /*doc*/, CPDFDict* plain) {
    return plain != nullptr;
}

bool CPDFInfoDict::Load(CPDFObjHolder* doc, CPDFDict* plain) {
    SetDoc(doc);
    Swap(*plain);
    try {
        static const struct {
            const char* key;
            bool date;
        } kEntries[] = {{kAuthor, false},  {kCreationDate, true}, {kModDate, true},
                        {kCreator, false}, {kProducer, false},    {kTitle, false},
                        {kSubject, false}, {kKeywords, false}};
        auto self = [this] { return static_cast<CPDFDict*>(this); };
        for (const auto& entry : kEntries) {
            CPDFObjRef ref;
            CPDFString* plainString = detail::AsPlainString(GetObj(doc_, entry.key, &ref));
            if (!plainString) continue;
            if (!entry.date) {
                if (!detail::TypeAt<CPDFText>(doc_, self, entry.key, plainString, ref))
                    return false;
            } else if (CPDFDate::Recognize(doc_, plainString)) {
                if (!detail::TypeAt<CPDFDate>(doc_, self, entry.key, plainString, ref))
                    return false;
            }
        }
        return true;
    } catch (const CPDFException&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

std::unique_ptr<CPDFObject> CPDFInfoDict::Duplicate(CPDFObjHolder* dstDoc,
                                                    CPDFObjHolder* srcDoc) const {
    return detail::DuplicateDict<CPDFInfoDict>(*this, dstDoc, srcDoc);
}

#define CORVINA_INFO_ACCESSORS(Key, Type)                                                   \
    CPDFObject* CPDFInfoDict::Get_##Key(CPDFObjRef* ref) {                                  \
        return GetObj(doc_, k##Key, ref);                                                   \
    }                                                                                       \
    bool CPDFInfoDict::Set_##Key(std::unique_ptr<Type> v, bool indirect, CPDFObjRef* ref) { \
        return SetObj(doc_, k##Key, std::move(v), indirect, ref);                           \
    }

CORVINA_INFO_ACCESSORS(Author, CPDFText)
CORVINA_INFO_ACCESSORS(CreationDate, CPDFDate)
CORVINA_INFO_ACCESSORS(ModDate, CPDFDate)
CORVINA_INFO_ACCESSORS(Creator, CPDFText)
CORVINA_INFO_ACCESSORS(Producer, CPDFText)
CORVINA_INFO_ACCESSORS(Title, CPDFText)
CORVINA_INFO_ACCESSORS(Subject, CPDFText)
CORVINA_INFO_ACCESSORS(Keywords, CPDFText)

#undef CORVINA_INFO_ACCESSORS

}  // namespace corvina
