// What the extension tests share: TessalyExt.ocx loaded into the test. The
// Palm Desktop stand-in (PalmAddOn.dll, the container) and its test helpers
// (DesktopTestSupport.h) play the host.
#pragma once

#include "DesktopTestSupport.h"
#include "PalmDesktop.h"
#include "UiDriver.h"
#include "afx/afxctl.h"

namespace ext {

// The control module loaded with its exports bound.
struct Module {
    HMODULE handle = nullptr;
    HRESULT(STDAPICALLTYPE* CanUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* GetClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* Register)() = nullptr;
    HRESULT(STDAPICALLTYPE* Unregister)() = nullptr;
    std::string path;
};

// TessalyExt.ocx beside the test, loaded once.
inline const Module& Ocx()
{
    static const Module module = [] {
        Module m;
        m.path = desktoptest::BinDir() + "\\TessalyExt.ocx";
        m.handle = ::LoadLibraryA(m.path.c_str());
        auto proc = [&](const char* name) { return reinterpret_cast<void*>(::GetProcAddress(m.handle, name)); };
        m.CanUnloadNow = reinterpret_cast<decltype(m.CanUnloadNow)>(proc("DllCanUnloadNow"));
        m.GetClassObject = reinterpret_cast<decltype(m.GetClassObject)>(proc("DllGetClassObject"));
        m.Register = reinterpret_cast<decltype(m.Register)>(proc("DllRegisterServer"));
        m.Unregister = reinterpret_cast<decltype(m.Unregister)>(proc("DllUnregisterServer"));
        return m;
    }();
    return module;
}

using uitest::Ansi;

// Makes positions of one of the stand-in's objects fail ("FailAddOn",
// "FailFrame", ...); an empty list undoes it.
inline void Fail(const char* list, const std::string& positions)
{
    desktoptest::SetString(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn", list, positions);
}

} // namespace ext
