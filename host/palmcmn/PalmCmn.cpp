// PalmCmn stand-in: the language resource library beside the conduit, or the
// conduit itself when there is none.
#include "PalmCmn.h"

#include <cstring>
#include <string>

extern "C" {

#if defined(_WIN32)

PalmInstance PALMCMN_CALL PalmLoadLanguage(const char* pszFile, PalmInstance hModule, uint32_t* pLoaded)
{
    if (pLoaded)
        *pLoaded = 0;
    if (!pszFile || !*pszFile || !hModule)
        return hModule;
    std::string path;
    const bool absolute = pszFile[0] == '\\' || pszFile[0] == '/' || (pszFile[0] && pszFile[1] == ':');
    if (!absolute) {
        char module[MAX_PATH];
        DWORD n = GetModuleFileNameA(hModule, module, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return hModule;
        path.assign(module, n);
        std::size_t slash = path.find_last_of("\\/");
        path = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    }
    path += pszFile;
    HMODULE h = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!h)
        return hModule;
    if (pLoaded)
        *pLoaded = 1;
    return h;
}

int32_t PALMCMN_CALL PalmFreeLanguage(PalmInstance hLanguage, PalmInstance hModule)
{
    if (!hLanguage || hLanguage == hModule)
        return 0;
    return FreeLibrary(hLanguage) ? 0 : -1;
}

#else

// Natively resources are not loaded from libraries; the module keeps its own.
PalmInstance PALMCMN_CALL PalmLoadLanguage(const char* pszFile, PalmInstance hModule, uint32_t* pLoaded)
{
    (void)pszFile;
    if (pLoaded)
        *pLoaded = 0;
    return hModule;
}

int32_t PALMCMN_CALL PalmFreeLanguage(PalmInstance hLanguage, PalmInstance hModule)
{
    (void)hLanguage;
    (void)hModule;
    return 0;
}

#endif

} // extern "C"
