// The add-on manager class of PalmAddOn.dll.
#pragma once

#include <objbase.h>

namespace desktop {

// Live objects of the module, for DllCanUnloadNow.
extern LONG g_objects;

HRESULT CreateAddOnManager(REFIID riid, void** ppv);

} // namespace desktop
