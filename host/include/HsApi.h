// The HotSync API (HSAPI.dll) as the installer calls it, by ordinal.
//
// The stand-in in host/hsapi counts the calls in the DWORD value
// HKEY_CURRENT_USER\Software\HotSync\Refreshes, and logs them like the
// Conduit Manager stand-in (see CondMgr.h, TESSALY_HOTSYNC_CALLS).
#pragma once

#include <windows.h>

extern "C" {

// Ordinal 108: asks the HotSync Manager to take up changed registrations.
LONG WINAPI HotSyncRefreshConduits(void);

}
