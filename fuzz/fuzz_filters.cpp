// Every decoder over arbitrary bytes. The first byte picks the filter, the
// next ones the decode parameters and image geometry the filter reads.
#include <cstdint>
#include <memory>
#include <string>

#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFBool.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/stream/CPDFStream.h"

using namespace corvina;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    static const char* const kFilters[] = {"ASCIIHexDecode",  "ASCII85Decode",  "FlateDecode",
                                           "RunLengthDecode", "CCITTFaxDecode", "DCTDecode"};
    static const char* const kSpaces[] = {"DeviceGray", "DeviceRGB", "DeviceCMYK", "Indexed"};
    const char* filter = kFilters[data[0] % 6];
    auto stream = std::make_unique<CPDFStream>();
    stream->Insert("Width", std::make_unique<CPDFInt>(1 + data[1] % 64 * (1 + data[2] % 8)));
    stream->Insert("Height", std::make_unique<CPDFInt>(1 + data[2] % 64));
    stream->Insert("BitsPerComponent", std::make_unique<CPDFInt>(1 << (data[3] % 5)));
    stream->Insert("ColorSpace", std::make_unique<CPDFName>(kSpaces[data[3] / 5 % 4]));
    if (data[3] & 0x80) stream->Insert("ImageMask", std::make_unique<CPDFBool>(true));
    auto parms = std::make_unique<CPDFDict>();
    parms->Insert("K", std::make_unique<CPDFInt>(static_cast<int8_t>(data[4]) % 3 - 1));
    parms->Insert("Predictor", std::make_unique<CPDFInt>(data[5] % 16));
    parms->Insert("Columns", std::make_unique<CPDFInt>(1 + data[6] % 64));
    parms->Insert("Colors", std::make_unique<CPDFInt>(1 + data[7] % 4));
    parms->Insert("BlackIs1", std::make_unique<CPDFBool>(data[7] & 0x80));
    stream->SetData(reinterpret_cast<const char*>(data) + 8, static_cast<int32_t>(size - 8));
    CPDFException error;
    stream->DecodeFilter(filter, parms.get(), &error);
    // And through the Filter entry, as a reader meets it.
    stream->Set_Filter(std::make_unique<CPDFName>(filter));
    stream->Set_DecodeParms(std::move(parms));
    stream->DecodeAllFilter(&error);
    return 0;
}
