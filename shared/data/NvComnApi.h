// Export decoration of the NvComn library. The DLL build defines NVCOMN_BUILD;
// the native build links the library statically and needs no decoration.
#pragma once

#if defined(_WIN32) && !defined(NVCOMN_STATIC)
#if defined(NVCOMN_BUILD)
#define NVCOMN_API __declspec(dllexport)
#else
#define NVCOMN_API __declspec(dllimport)
#endif
#else
#define NVCOMN_API
#endif
