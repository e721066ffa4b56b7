// What the extension tests share: TessalyExt.ocx loaded into the test, and
// text conversions. The Palm Desktop stand-in (PalmAddOn.dll, the container)
// and its test helpers (DesktopTestSupport.h) play the host.
#pragma once

#include "DesktopTestSupport.h"
#include "PalmDesktop.h"
#include "afx/afxctl.h"

#include <string>

namespace ext {

// A control module loaded with its exports bound.
struct Module {
    HMODULE handle = nullptr;
    HRESULT(STDAPICALLTYPE* CanUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* GetClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* Register)() = nullptr;
    HRESULT(STDAPICALLTYPE* Unregister)() = nullptr;
    std::string path;
};

inline Module LoadModule(const std::string& path)
{
    Module m;
    m.path = path;
    m.handle = ::LoadLibraryA(path.c_str());
    if (m.handle) {
        auto proc = [&](const char* name) { return reinterpret_cast<void*>(::GetProcAddress(m.handle, name)); };
        m.CanUnloadNow = reinterpret_cast<decltype(m.CanUnloadNow)>(proc("DllCanUnloadNow"));
        m.GetClassObject = reinterpret_cast<decltype(m.GetClassObject)>(proc("DllGetClassObject"));
        m.Register = reinterpret_cast<decltype(m.Register)>(proc("DllRegisterServer"));
        m.Unregister = reinterpret_cast<decltype(m.Unregister)>(proc("DllUnregisterServer"));
    }
    return m;
}

// TessalyExt.ocx beside the test, loaded once.
inline const Module& Ocx()
{
    static const Module module = LoadModule(desktoptest::BinDir() + "\\TessalyExt.ocx");
    return module;
}

inline std::string Narrow(BSTR bstr) { return static_cast<const char*>(AfxBSTRToString(bstr)); }

// Text in the ANSI code page (932 under the tests' Wine) from UTF-8.
inline std::string Ansi(const char* utf8)
{
    std::wstring wide(strlen(utf8) + 1, L'\0');
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], static_cast<int>(wide.size()));
    std::string s(static_cast<size_t>(n) * 2 + 1, '\0');
    int m = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &s[0], static_cast<int>(s.size()), nullptr, nullptr);
    s.resize(m > 0 ? static_cast<size_t>(m - 1) : 0);
    return s;
}

// Makes positions of one of the stand-in's objects fail ("FailAddOn",
// "FailFrame", ...); an empty list undoes it.
inline void Fail(const char* list, const std::string& positions)
{
    desktoptest::SetString(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn", list, positions);
}

} // namespace ext
