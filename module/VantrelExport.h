#pragma once
// VANTREL_API marks what the shared library exports; everything else stays hidden (the library is
// built with -fvisibility=hidden). Clients include it through the library's headers and need
// define nothing: the macro gives the same default visibility when the headers are used from
// outside. A class whose declaration lacks it (such as IVRenderSoftPano, which exports only
// SetTransform) has no exported type information, so clients reach such an object by static_cast,
// not dynamic_cast.
#if defined(__GNUC__)
#define VANTREL_API __attribute__((visibility("default")))
#else
#define VANTREL_API
#endif
