#pragma once

#include <cstddef>
#include <string>

namespace corvina::detail {

// Converts code page 932 bytes to UTF-16, stopping at the first zero byte as
// the C library's mbstowcs does. False (out unspecified) on invalid input.
bool CP932ToUTF16(const char* bytes, size_t n, std::u16string& out);
// True when the platform can convert code page 932 at all.
bool CP932Available();

}  // namespace corvina::detail
