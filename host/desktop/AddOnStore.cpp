#include "AddOnStore.h"

#include <cwchar>

namespace desktop {

bool FailureRequested(const wchar_t* listName, int position)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kStandInKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    wchar_t list[256];
    DWORD type = 0, size = sizeof list - sizeof(wchar_t);
    LONG rc = RegQueryValueExW(key, listName, nullptr, &type, reinterpret_cast<BYTE*>(list), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return false;
    list[size / sizeof(wchar_t)] = L'\0';
    for (const wchar_t* p = list; *p;) {
        wchar_t* end = nullptr;
        long v = std::wcstol(p, &end, 10);
        if (end == p) {
            ++p;
            continue;
        }
        if (v == position)
            return true;
        p = end;
    }
    return false;
}

std::string ControlForAddOn(const std::string& name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn\\Controls", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        char buf[512];
        DWORD type = 0, size = sizeof buf - 1;
        LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
        RegCloseKey(key);
        if (rc == ERROR_SUCCESS && type == REG_SZ && size > 0) {
            buf[size] = '\0';
            if (buf[0])
                return buf;
        }
    }
    // Multi-byte aware: trail bytes of double-byte characters stay as they are.
    std::string upper = name;
    if (!upper.empty())
        CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
    return upper + "EXT." + name + "ExtCtrl.1";
}

} // namespace desktop
