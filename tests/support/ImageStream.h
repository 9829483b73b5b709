#pragma once

// Image streams for the JPEG and fax filter tests.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/stream/CPDFStream.h"
#include "support/ObjectTestUtil.h"

namespace corvina::testing {

// A stream with the entries of a dictionary given as text and the data.
inline std::unique_ptr<CPDFStream> ImageStream(const std::string& dict, const std::string& data) {
    auto s = std::make_unique<CPDFStream>();
    auto parsed = ParseText(dict);
    EXPECT_TRUE(parsed && parsed->Is(CPDFObject::Dictionary)) << dict;
    if (parsed && parsed->Is(CPDFObject::Dictionary))
        static_cast<CPDFDict*>(parsed.get())->Swap(*s);
    EXPECT_TRUE(s->SetData(data.data(), static_cast<int32_t>(data.size())));
    return s;
}

inline std::string StreamData(CPDFStream& s) {
    const char* p = s.GetData();
    return p ? std::string(p, static_cast<size_t>(s.GetDataLength())) : std::string();
}

// The dictionary as written, without line ends.
inline std::string StreamDict(CPDFStream& s) {
    MemOutStream out;
    s.CPDFDict::Serialize(out, nullptr);
    std::string flat;
    for (char c : out.Data())
        if (c != '\r' && c != '\n') flat += c;
    return flat;
}

// The samples of a binary PNM (P4, P5 or P6 without comments, as the image
// tools write them); "" when the text is not one.
inline std::string PnmSamples(const std::string& pnm) {
    int w = 0, h = 0, max = 0, used = 0;
    if (pnm.size() < 2 || pnm[0] != 'P') return "";
    if (pnm[1] == '4') {
        if (std::sscanf(pnm.c_str(), "P4 %d %d%n", &w, &h, &used) < 2) return "";
    } else if (std::sscanf(pnm.c_str(), "P%*c %d %d %d%n", &w, &h, &max, &used) < 3) {
        return "";
    }
    return pnm.substr(static_cast<size_t>(used) + 1);
}

}  // namespace corvina::testing
