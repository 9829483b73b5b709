#pragma once

#include <memory>
#include <string>

#include "pdf/io/CorvinaApi.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFDocStruct.h"

namespace corvina {

class CPDFPages;
class CPDFNameDict;
class CPDFArray;
class CPDFAcroFormDict;
class CPDFURIDict;
class CPDFViewPref;
class CPDFNumTreeNode;

// The document catalog named by the trailer's Root.
class CORVINA_API CPDFCatalog : public CPDFDict, public CPDFDocStruct {
public:
    CPDFCatalog();

    // Type is the name "Catalog" and Pages a dictionary (not a stream).
    static bool Recognize(CPDFObjHolder* doc, CPDFDict* plain);
    // A new document's catalog with an empty page tree.
    bool Create(CPDFObjHolder* doc);
    // Takes over plain's entries and types the page tree, Dests, Names and the rest.
    bool Load(CPDFObjHolder* doc, CPDFDict* plain);
    // Why a failed Load failed, when the file's structure says so (a page
    // tree that loops, say); empty otherwise.
    const std::string& LoadProblem() const { return loadProblem_; }
    void SetLoadProblem(std::string why) { loadProblem_ = std::move(why); }

    CPDFPages* Get_Pages(CPDFObjRef* ref = nullptr);
    bool Set_Pages(std::unique_ptr<CPDFPages> pages, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFObject* Get_Dests(CPDFObjRef* ref = nullptr);
    CPDFObject* Get_Outlines(CPDFObjRef* ref = nullptr);
    bool Set_Outlines(std::unique_ptr<CPDFObject> outlines, bool indirect,
                      CPDFObjRef* ref = nullptr);
    CPDFArray* Get_Threads(CPDFObjRef* ref = nullptr);
    CPDFAcroFormDict* Get_AcroForm(CPDFObjRef* ref = nullptr);
    bool Set_AcroForm(std::unique_ptr<CPDFAcroFormDict> form, bool indirect,
                      CPDFObjRef* ref = nullptr);
    CPDFNameDict* Get_Names(CPDFObjRef* ref = nullptr);
    bool Set_Names(std::unique_ptr<CPDFNameDict> names, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFObject* Get_OpenAction(CPDFObjRef* ref = nullptr);
    bool Set_OpenAction(std::unique_ptr<CPDFObject> action, bool indirect,
                        CPDFObjRef* ref = nullptr);
    CPDFURIDict* Get_URI(CPDFObjRef* ref = nullptr);
    bool Set_URI(std::unique_ptr<CPDFURIDict> uri, bool indirect, CPDFObjRef* ref = nullptr);
    CPDFViewPref* Get_ViewerPreferences(CPDFObjRef* ref = nullptr);
    bool Set_ViewerPreferences(std::unique_ptr<CPDFViewPref> pref, bool indirect,
                               CPDFObjRef* ref = nullptr);
    CPDFNumTreeNode* Get_PageLabels(CPDFObjRef* ref = nullptr);
    bool Set_PageLabels(std::unique_ptr<CPDFNumTreeNode> labels, bool indirect,
                        CPDFObjRef* ref = nullptr);

private:
    std::string loadProblem_;
};

}  // namespace corvina
