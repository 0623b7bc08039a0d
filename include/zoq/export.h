// ZOQ_EXPORT marks what the library offers to programs outside it. The
// library is built with hidden symbols by default, so only marked classes
// and functions are part of its shared form's interface.
#pragma once

#if defined(_WIN32)
#if defined(ZOQ_STATIC)
#define ZOQ_EXPORT
#elif defined(ZOQ_BUILDING_LIBRARY)
#define ZOQ_EXPORT __declspec(dllexport)
#else
#define ZOQ_EXPORT __declspec(dllimport)
#endif
#else
#define ZOQ_EXPORT __attribute__((visibility("default")))
#endif
