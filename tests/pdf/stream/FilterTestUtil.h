#pragma once

// Streams made from bytes and read back, for the filter tests.

#include <cstdint>
#include <memory>
#include <string>

#include "pdf/io/MemOutStream.h"
#include "pdf/stream/CPDFStream.h"

namespace filtertest {

inline std::unique_ptr<corvina::CPDFStream> Make(const std::string& data) {
    auto s = std::make_unique<corvina::CPDFStream>();
    s->SetData(data.data(), static_cast<int32_t>(data.size()));
    return s;
}

inline std::string Data(corvina::CPDFStream& s) {
    const char* p = s.GetData();
    return p ? std::string(p, static_cast<size_t>(s.GetDataLength())) : std::string();
}

// The dictionary as written, without its line ends.
inline std::string Dict(corvina::CPDFStream& s) {
    corvina::MemOutStream out;
    s.corvina::CPDFDict::Serialize(out, nullptr);
    std::string flat;
    for (char c : out.Data())
        if (c != '\r' && c != '\n') flat += c;
    return flat;
}

// Bytes from a fixed linear congruential sequence.
inline std::string Random(size_t n, uint32_t seed = 12345) {
    std::string s(n, '\0');
    for (auto& c : s) {
        seed = seed * 1103515245 + 12345;
        c = static_cast<char>(seed >> 24);
    }
    return s;
}

}  // namespace filtertest
