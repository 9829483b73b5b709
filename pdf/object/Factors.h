#pragma once

// The message factors the library's error records share, each text in one
// place. Factors that name one failed call ("CPDFBody::SetObj()") stay with
// that call.

namespace corvina::factor {

// Reading failed or met the end of the data.
constexpr char kIoError[] = "ioerror";
// A word that does not belong where it stands (printf forms with the word).
constexpr char kInvalidToken[] = "invalidtoken: %s";
constexpr char kInvalidTokenChar[] = "invalidtoken: %c";
constexpr char kInvalidObjRef[] = "invalidobjref: %d %d";
constexpr char kInvalidHeader[] = "invalidheader: %s";
// What a file that cannot be a PDF at all is.
constexpr char kEmptyFile[] = "empty file";
constexpr char kNotPdf[] = "not a PDF file (no %PDF- header)";
// The input was cut or rewritten by another program while it was open.
constexpr char kInputChanged[] = "input file changed since it was opened: %s";
constexpr char kNestingTooDeep[] = "invalidtoken: nesting too deep";

// Requests the document cannot honour.
constexpr char kRefNotDefined[] = "Object reference is not defined.";
constexpr char kPageOutOfRange[] = "Page position is out of range.";
// GetPage's internal error has no full stop; the user errors have one.
constexpr char kNoPageForFdf[] = "There is no CPDFPage for FDF file";
constexpr char kNoPageForFdfUser[] = "There is no CPDFPage for FDF file.";
constexpr char kSaveNotCalled[] = "CPDFDoc::Save() has not been called.";
constexpr char kEncryptedDocument[] = "encrypted document";
constexpr char kInvalidSecurityHandler[] = "invalid security handler";
constexpr char kIncorrectPassword[] = "incorrect password";
constexpr char kPasswordNeeded[] = "encrypted document: a password is needed";
constexpr char kInvalidEncryptedData[] = "invalid encrypted data";
constexpr char kInvalidEncryptEntry[] = "invalid encryption dictionary: %s";

// Calls that failed, named in the factors of the operations that made them.
constexpr char kCallBodyAddObj[] = "CPDFBody::AddObj()";
constexpr char kCallBodySetObj[] = "CPDFBody::SetObj()";
constexpr char kCallDocFindObj[] = "CPDFDoc::FindObj()";
constexpr char kCallDocGetBody[] = "CPDFDoc::GetBody()";
constexpr char kCallDocGetTrailer[] = "CPDFDoc::GetTrailer()";
constexpr char kCallDocGetXRef[] = "CPDFDoc::GetXRef()";
constexpr char kCallDocLoadObj[] = "CPDFDoc::LoadObj()";
constexpr char kCallDocSerialize[] = "CPDFDoc::Serialize()";
constexpr char kCallDocStoreObj[] = "CPDFDoc::StoreObj()";
constexpr char kCallPagesGetCount[] = "CPDFPages::Get_Count()";
constexpr char kCallXRefAddEntry[] = "CPDFXRef::AddEntry()";
constexpr char kCallXRefCreate[] = "CPDFXRef::Create()";
constexpr char kCallXRefSetEntry[] = "CPDFXRef::SetEntry()";
constexpr char kCallTempStringAppend[] = "TempString::Append()";
constexpr char kCallTempStringAssign[] = "TempString::Assign()";

}  // namespace corvina::factor
