#pragma once
// VANTREL_API marks what the shared library exports; everything else stays hidden
// (the library is built with -fvisibility=hidden).
#if defined(__GNUC__)
#define VANTREL_API __attribute__((visibility("default")))
#else
#define VANTREL_API
#endif
