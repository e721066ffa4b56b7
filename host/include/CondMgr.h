// The HotSync Conduit Manager (CONDMGR.dll) as the installer calls it: by
// ordinal, with the Windows API calling convention. The names are ours; the
// genuine library is reached through the ordinals alone.
//
// The stand-in in host/condmgr keeps its registrations in the registry:
//   HKEY_CURRENT_USER\Software\HotSync\Conduits\<creator ID>
//     Conduit, Directory, File, RemoteDatabase, Name (strings), Priority (DWORD)
//   HKEY_CURRENT_USER\Software\HotSync\Notifiers
//     one string value per notifier, name and data both the DLL path
//
// Two environment variables steer the stand-in for tests:
//   TESSALY_CONDMGR_FAIL   ordinals, separated by commas ("46,188"), whose
//                          calls fail with CONDMGR_ERR_INJECTED and change nothing
//   TESSALY_HOTSYNC_CALLS  a file to which every call of the Conduit Manager and
//                          HotSync API stand-ins appends one line:
//                          "<ordinal> <arguments...> = <result>"
#pragma once

#include <windows.h>

// Results. 0 is success; the installer relies only on -1005 and -1019.
enum {
    CONDMGR_ERR_NONE = 0,
    CONDMGR_ERR_BAD_CREATOR = -1001,       // not exactly four printable characters, or a backslash
    CONDMGR_ERR_NO_ENTRY = -1002,          // no conduit entry for the creator ID
    CONDMGR_ERR_REGISTRY = -1003,          // the registry refused
    CONDMGR_ERR_BAD_ARGUMENT = -1004,      // null or empty text
    CONDMGR_ERR_ALREADY_INSTALLED = -1005, // an entry for the creator ID exists
    CONDMGR_ERR_NOT_REGISTERED = -1006,    // no such notifier
    CONDMGR_ERR_NOTIFIER_EXISTS = -1019,   // the notifier is registered already
    CONDMGR_ERR_INJECTED = -1099           // failure asked for through TESSALY_CONDMGR_FAIL
};

// The only conduit type the installer creates: an application conduit.
enum { CONDMGR_TYPE_APPLICATION = 1 };

extern "C" {

// Ordinal 67: creates the entry for the creator ID.
LONG WINAPI CondMgrCreateEntry(const char* pszCreatorId, int nType);
// Ordinal 65: removes the entry for the creator ID (negative: failure).
LONG WINAPI CondMgrRemoveEntry(const char* pszCreatorId);
// Ordinals 46, 48, 63, 50, 54, 40: set one value of an existing entry.
LONG WINAPI CondMgrSetConduit(const char* pszCreatorId, const char* pszConduitDll);
LONG WINAPI CondMgrSetDirectory(const char* pszCreatorId, const char* pszDirectory);
LONG WINAPI CondMgrSetFile(const char* pszCreatorId, const char* pszFile);
LONG WINAPI CondMgrSetRemoteDatabase(const char* pszCreatorId, const char* pszRemoteDatabase);
LONG WINAPI CondMgrSetName(const char* pszCreatorId, const char* pszName);
LONG WINAPI CondMgrSetPriority(const char* pszCreatorId, int nPriority);
// Ordinals 187, 188: register and remove a notifier DLL.
LONG WINAPI CondMgrRegisterNotifier(const char* pszNotifierDll);
LONG WINAPI CondMgrRemoveNotifier(const char* pszNotifierDll);

}
