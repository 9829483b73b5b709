#pragma once

#include <cstddef>
#include <string>

namespace corvina::detail {

// True when this thread can open the code page 932 converter.
bool CP932Available();

// Converts code page 932 bytes to UTF-16, as mbstowcs does under a Japanese
// locale: conversion stops at the first NUL byte or after n bytes. Returns
// false, leaving out empty, on an invalid or truncated sequence or when the
// converter cannot be opened.
bool CP932ToUTF16(const char* bytes, size_t n, std::u16string& out);

}  // namespace corvina::detail
