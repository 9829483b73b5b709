#pragma once

#include <cstdint>
#include <string>

#include "pdf/stream/FilterData.h"

namespace corvina {
class CPDFObject;
}

namespace corvina::detail {

// The image entries the JPEG and fax filters read from a stream's
// dictionary, references resolved through the stream's document.

// The integer value of key; false when it is absent or not a number.
bool ImageInt(FilterData& data, const char* key, int32_t* value);
// The value of key (resolved), or null.
CPDFObject* ImageValue(FilterData& data, const char* key);

// The number of components of a colour space given as a name or an array:
// the device spaces, CalGray, CalRGB, Lab, ICCBased (by its N), Separation,
// DeviceN and Indexed. 0 for anything else. *family receives the space's
// name (the first element of an array) for messages; *indexed tells an
// Indexed space apart, whose samples are not intensities.
int ColorComponents(FilterData& data, CPDFObject* space, std::string* family, bool* indexed);

}  // namespace corvina::detail
