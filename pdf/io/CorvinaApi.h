#pragma once

// Marks what a program built on the library may call. A shared build hides
// every other symbol (-fvisibility=hidden), so the library's internals stay
// its own and can change without a new SONAME.
#if defined(__GNUC__)
#define CORVINA_API __attribute__((visibility("default")))
#else
#define CORVINA_API
#endif
