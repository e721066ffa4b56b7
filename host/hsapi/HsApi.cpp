// Stand-in for the HotSync API: the refresh call only counts itself, so that
// a test can see that the HotSync Manager was asked to take up a change.
#include "HsApi.h"
#include "HotSyncCallLog.h"

extern "C" LONG WINAPI HotSyncRefreshConduits(void)
{
    HKEY hKey;
    LONG result = -1;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\HotSync", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &hKey, nullptr) == ERROR_SUCCESS) {
        DWORD count = 0, type = 0, size = sizeof count;
        if (RegQueryValueExA(hKey, "Refreshes", nullptr, &type, reinterpret_cast<BYTE*>(&count), &size) != ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof count)
            count = 0;
        ++count;
        if (RegSetValueExA(hKey, "Refreshes", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count) ==
            ERROR_SUCCESS)
            result = 0;
        RegCloseKey(hKey);
    }
    hotsync_log::Append("108 = " + std::to_string(result));
    return result;
}
