#pragma once
// Symbol visibility of the shared library. The library is built with default
// visibility; the macro marks the public API explicitly so that a build with
// -fvisibility=hidden keeps exporting it.

#if defined(_WIN32)
#if defined(TESSARY_BUILDING_LIBRARY)
#define TESSARY_API __declspec(dllexport)
#else
#define TESSARY_API __declspec(dllimport)
#endif
#else
#define TESSARY_API __attribute__((visibility("default")))
#endif
