// The parser's entry: dispatches on the first byte to the class readers.
#include "pdf/object/CPDFObject.h"

#include "pdf/io/InStream.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFBool.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNull.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFString.h"

namespace corvina {

std::unique_ptr<CPDFObject> CPDFObject::SerializeObject(CPDFObjHolder* doc, InStream& in,
                                                        CryptKey crypt) {
    in.SkipWhitespaceAndComments();
    switch (in.Peek()) {
        case '<':  // a dictionary, or a hexadecimal string the dictionary reader hands on
            return CPDFDict::SerializeObject(doc, in, crypt);
        case '[':
            return CPDFArray::SerializeObject(doc, in, crypt);
        case '/':
            return CPDFName::SerializeObject(doc, in, crypt);
        case '(':
            return CPDFString::SerializeObject(doc, in, crypt);
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
        case '+':
        case '-':
        case '.':
            return CPDFNumber::SerializeObject(doc, in, crypt);
        case 't':
        case 'f':
            return CPDFBool::SerializeObject(doc, in, crypt);
        case 'n':
            return CPDFNull::SerializeObject(doc, in, crypt);
        default:  // the end of the data or no object: the caller decides
            return nullptr;
    }
}

}  // namespace corvina
