// Entry points of the NvComn library itself.
#include "data/NvComnApi.h"
#include "afx/afxtypes.h"

#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif

// Called by a client module before it uses the library's dialogs and strings.
extern "C" NVCOMN_API void InitNvComnDLL(void) {}
