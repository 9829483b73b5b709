#pragma once

#include <cstddef>
#include <string>

// Bytes that neither compress nor change from run to run: a fixed linear
// congruential sequence from seed.
inline std::string NoiseBytes(size_t n, unsigned seed = 1) {
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}
