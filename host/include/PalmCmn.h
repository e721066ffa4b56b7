// PalmCmn.dll as the conduit calls it, by ordinal: its language resource
// library. Plain C, __cdecl; natively a static library.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#define PALMCMN_CALL __cdecl
// Exported through the .def file, which gives the ordinals.
#define PALMCMN_API
typedef HINSTANCE PalmInstance;
#else
#define PALMCMN_CALL
#define PALMCMN_API
typedef void* PalmInstance;
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Ordinal 2: loads the language library pszFile from the folder of the
// module hModule and returns its instance; when it cannot, returns hModule,
// so resources come from the module itself. *pLoaded (if given) becomes 1
// when a library was loaded, else 0.
PALMCMN_API PalmInstance PALMCMN_CALL PalmLoadLanguage(const char* pszFile, PalmInstance hModule, uint32_t* pLoaded);
// Ordinal 3: frees what ordinal 2 returned; the module's own instance is left alone.
PALMCMN_API int32_t PALMCMN_CALL PalmFreeLanguage(PalmInstance hLanguage, PalmInstance hModule);

#ifdef __cplusplus
}
#endif
