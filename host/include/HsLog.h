// The HotSync log (HSLOG20.dll) as the conduit calls it, by ordinal.
// Plain C, __cdecl; natively a static library with the same functions.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#define HSLOG_CALL __cdecl
// Exported through the .def file, which gives the ordinals.
#define HSLOG_API
#else
#define HSLOG_CALL
#define HSLOG_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Ordinal 52: one entry with its activity code; flags is 0.
HSLOG_API int32_t HSLOG_CALL HsLogAddEntry(const char* pszText, int32_t activity, int32_t flags);
// Ordinal 56: entries logged so far; 0 while nothing has been logged.
HSLOG_API uint16_t HSLOG_CALL HsLogCount(void);

// The stand-in's own controls, not part of the host's interface.

// Entries are appended to this file from now on, one line each ("activity
// code, tab, text"); null keeps them in memory only. Resets the count.
HSLOG_API int32_t HSLOG_CALL TessalyHostLogToFile(const char* pszPath);
// The entry at index (0 first); its text, cut to fit cbText with a NUL.
// 0 when there is one, -1 when not.
HSLOG_API int32_t HSLOG_CALL TessalyHostLogEntry(int32_t index, int32_t* pActivity, char* pszText, int32_t cbText);

#ifdef __cplusplus
}
#endif
