// Stand-in for the HotSync Conduit Manager: registrations in the registry of
// the current user, in the layout that the HotSync Manager stand-in reads.
#include "CondMgr.h"
#include "HotSyncCallLog.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kConduitsKey[] = "Software\\HotSync\\Conduits";
const char kNotifiersKey[] = "Software\\HotSync\\Notifiers";

// True when TESSALY_CONDMGR_FAIL lists this ordinal.
bool FailureRequested(int nOrdinal)
{
    char list[256];
    DWORD n = GetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", list, sizeof list);
    if (n == 0 || n >= sizeof list)
        return false;
    const char* p = list;
    while (*p) {
        char* end = nullptr;
        long v = std::strtol(p, &end, 10);
        if (end == p) {
            ++p;   // skip separators and anything else
            continue;
        }
        if (v == nOrdinal)
            return true;
        p = end;
    }
    return false;
}

LONG Logged(int nOrdinal, const std::string& args, LONG result)
{
    hotsync_log::Append(std::to_string(nOrdinal) + args + " = " + std::to_string(result));
    return result;
}

// A creator ID names a registry key, so besides being four characters long
// it must not hold a backslash, which would name a key further down.
bool ValidCreator(const char* psz)
{
    if (!psz || std::strlen(psz) != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        unsigned char c = static_cast<unsigned char>(psz[i]);
        if (c < 0x20 || c > 0x7E || c == '\\')
            return false;
    }
    return true;
}

std::string EntryKey(const char* pszCreatorId)
{
    return std::string(kConduitsKey) + "\\" + pszCreatorId;
}

LONG SetEntryValue(const char* pszCreatorId, const char* pszValue, DWORD type, const void* data, DWORD size)
{
    if (!ValidCreator(pszCreatorId))
        return CONDMGR_ERR_BAD_CREATOR;
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, EntryKey(pszCreatorId).c_str(), 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return CONDMGR_ERR_NO_ENTRY;
    LONG rc = RegSetValueExA(hKey, pszValue, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS ? CONDMGR_ERR_NONE : CONDMGR_ERR_REGISTRY;
}

LONG SetEntryString(int nOrdinal, const char* pszCreatorId, const char* pszValue, const char* pszText)
{
    std::string args = " " + hotsync_log::Arg(pszCreatorId) + " " + hotsync_log::Arg(pszText);
    if (FailureRequested(nOrdinal))
        return Logged(nOrdinal, args, CONDMGR_ERR_INJECTED);
    if (!pszText)
        return Logged(nOrdinal, args, CONDMGR_ERR_BAD_ARGUMENT);
    return Logged(nOrdinal, args,
                  SetEntryValue(pszCreatorId, pszValue, REG_SZ, pszText, static_cast<DWORD>(std::strlen(pszText) + 1)));
}

} // namespace

extern "C" {

LONG WINAPI CondMgrCreateEntry(const char* pszCreatorId, int nType)
{
    std::string args = " " + hotsync_log::Arg(pszCreatorId) + " " + std::to_string(nType);
    if (FailureRequested(67))
        return Logged(67, args, CONDMGR_ERR_INJECTED);
    if (!ValidCreator(pszCreatorId))
        return Logged(67, args, CONDMGR_ERR_BAD_CREATOR);
    if (nType != CONDMGR_TYPE_APPLICATION)
        return Logged(67, args, CONDMGR_ERR_BAD_ARGUMENT);
    HKEY hKey;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, EntryKey(pszCreatorId).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &hKey, &disposition) != ERROR_SUCCESS)
        return Logged(67, args, CONDMGR_ERR_REGISTRY);
    RegCloseKey(hKey);
    return Logged(67, args, disposition == REG_CREATED_NEW_KEY ? CONDMGR_ERR_NONE : CONDMGR_ERR_ALREADY_INSTALLED);
}

LONG WINAPI CondMgrRemoveEntry(const char* pszCreatorId)
{
    std::string args = " " + hotsync_log::Arg(pszCreatorId);
    if (FailureRequested(65))
        return Logged(65, args, CONDMGR_ERR_INJECTED);
    if (!ValidCreator(pszCreatorId))
        return Logged(65, args, CONDMGR_ERR_BAD_CREATOR);
    LONG rc = RegDeleteKeyA(HKEY_CURRENT_USER, EntryKey(pszCreatorId).c_str());
    if (rc == ERROR_FILE_NOT_FOUND)
        return Logged(65, args, CONDMGR_ERR_NO_ENTRY);
    return Logged(65, args, rc == ERROR_SUCCESS ? CONDMGR_ERR_NONE : CONDMGR_ERR_REGISTRY);
}

LONG WINAPI CondMgrSetConduit(const char* pszCreatorId, const char* pszConduitDll)
{
    return SetEntryString(46, pszCreatorId, "Conduit", pszConduitDll);
}

LONG WINAPI CondMgrSetDirectory(const char* pszCreatorId, const char* pszDirectory)
{
    return SetEntryString(48, pszCreatorId, "Directory", pszDirectory);
}

LONG WINAPI CondMgrSetFile(const char* pszCreatorId, const char* pszFile)
{
    return SetEntryString(63, pszCreatorId, "File", pszFile);
}

LONG WINAPI CondMgrSetRemoteDatabase(const char* pszCreatorId, const char* pszRemoteDatabase)
{
    return SetEntryString(50, pszCreatorId, "RemoteDatabase", pszRemoteDatabase);
}

LONG WINAPI CondMgrSetName(const char* pszCreatorId, const char* pszName)
{
    return SetEntryString(54, pszCreatorId, "Name", pszName);
}

LONG WINAPI CondMgrSetPriority(const char* pszCreatorId, int nPriority)
{
    std::string args = " " + hotsync_log::Arg(pszCreatorId) + " " + std::to_string(nPriority);
    if (FailureRequested(40))
        return Logged(40, args, CONDMGR_ERR_INJECTED);
    DWORD value = static_cast<DWORD>(nPriority);
    return Logged(40, args, SetEntryValue(pszCreatorId, "Priority", REG_DWORD, &value, sizeof value));
}

LONG WINAPI CondMgrRegisterNotifier(const char* pszNotifierDll)
{
    std::string args = " " + hotsync_log::Arg(pszNotifierDll);
    if (FailureRequested(187))
        return Logged(187, args, CONDMGR_ERR_INJECTED);
    if (!pszNotifierDll || !*pszNotifierDll)
        return Logged(187, args, CONDMGR_ERR_BAD_ARGUMENT);
    HKEY hKey;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kNotifiersKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                        &hKey, nullptr) != ERROR_SUCCESS)
        return Logged(187, args, CONDMGR_ERR_REGISTRY);
    LONG result;
    if (RegQueryValueExA(hKey, pszNotifierDll, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        result = CONDMGR_ERR_NOTIFIER_EXISTS;
    else if (RegSetValueExA(hKey, pszNotifierDll, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszNotifierDll),
                            static_cast<DWORD>(std::strlen(pszNotifierDll) + 1)) == ERROR_SUCCESS)
        result = CONDMGR_ERR_NONE;
    else
        result = CONDMGR_ERR_REGISTRY;
    RegCloseKey(hKey);
    return Logged(187, args, result);
}

LONG WINAPI CondMgrRemoveNotifier(const char* pszNotifierDll)
{
    std::string args = " " + hotsync_log::Arg(pszNotifierDll);
    if (FailureRequested(188))
        return Logged(188, args, CONDMGR_ERR_INJECTED);
    if (!pszNotifierDll || !*pszNotifierDll)
        return Logged(188, args, CONDMGR_ERR_BAD_ARGUMENT);
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kNotifiersKey, 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return Logged(188, args, CONDMGR_ERR_NOT_REGISTERED);
    LONG rc = RegDeleteValueA(hKey, pszNotifierDll);
    RegCloseKey(hKey);
    if (rc == ERROR_FILE_NOT_FOUND)
        return Logged(188, args, CONDMGR_ERR_NOT_REGISTERED);
    return Logged(188, args, rc == ERROR_SUCCESS ? CONDMGR_ERR_NONE : CONDMGR_ERR_REGISTRY);
}

} // extern "C"
