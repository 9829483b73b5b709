#pragma once

namespace corvina::detail {

// The structType of each typed class of the document structure; distinct within
// the family so that a typed object can be told apart without a cast.
enum StructType : int {
    CatalogType = 0,
    NameDictType = 1,
    InfoDictType = 2,
    PagesType = 3,
    PageType = 4,
    PageLabelDictType = 5,
    ViewPrefType = 6,
    NameTreeNodeType = 23,
    NumTreeNodeType = 24,
    DestinationType = 25,
    LinkPointType = 26,
    DateType = 27,
    // Classes of the subsystems kept minimal (pdf/structure/minimal).
    RectType = 40,
    ResDictType = 41,
    ThumbnailType = 42,
    AddActDictType = 43,
    PieceInfoDictType = 44,
    SepInfoDictType = 45,
    OutlinesType = 46,
    ThreadType = 47,
    AcroFormDictType = 48,
    URIDictType = 49,
    JavaScriptActType = 50,
    AppearDictType = 51,
    ActionType = 52,
    AnnotType = 53,
    TransType = 54,
};

}  // namespace corvina::detail
