// Entry points of the NvComn library itself.
#include "data/NvComnApi.h"
#include "afx/afxtypes.h"

#if defined(_WIN32)
#include "afx/afxwin.h"

namespace {
HINSTANCE g_hNvComn = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hNvComn = hInstance;
        // The library's own dialogs are found even before a client calls
        // InitNvComnDLL.
        AfxAddResourceModule(hInstance);
    }
    return TRUE;
}

// Called by a client module before it uses the library's dialogs and strings:
// lookups then search the client's resources first, then the library's.
extern "C" NVCOMN_API void InitNvComnDLL(void)
{
    HMODULE hClient = nullptr;
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCSTR>(__builtin_return_address(0)), &hClient))
        hClient = nullptr;
    AfxRemoveResourceModule(g_hNvComn);
    if (hClient && hClient != g_hNvComn)
        AfxAddResourceModule(hClient);
    AfxAddResourceModule(g_hNvComn);
}
#else
extern "C" NVCOMN_API void InitNvComnDLL(void) {}
#endif
