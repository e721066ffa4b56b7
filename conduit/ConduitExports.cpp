#include "ConduitExports.h"

#include "SyncDriver.h"

#include <cstring>
#include <new>

namespace {

// Copies string 1 into pOut with at most nChars characters, terminator
// included; the number of characters copied.
size_t LoadName(char* pOut, size_t nChars)
{
    if (!pOut || nChars == 0)
        return 0;
    std::string name = LoadConduitString(ConduitResourceInstance(), 1);
    size_t n = name.size() < nChars - 1 ? name.size() : nChars - 1;
    std::memcpy(pOut, name.data(), n);
    pOut[n] = '\0';
    return n;
}

} // namespace

extern "C" {

CONDUIT_API int32_t CONDUIT_CALL OpenConduit(ConduitProgressFn pFn, CSyncProperties& props)
{
    if (!pFn)
        return -1;
    CSyncDriver* driver = new (std::nothrow) CSyncDriver(props, CDbManager::CapCategories | CDbManager::CapAppInfo,
                                                         ConduitResourceInstance());
    if (!driver)
        return -1;
    int32_t result = driver->Run();
    delete driver;
    return result;
}

CONDUIT_API int32_t CONDUIT_CALL GetConduitName(char* pszName, uint16_t nLength)
{
    return LoadName(pszName, nLength) ? 0 : -1;
}

CONDUIT_API uint32_t CONDUIT_CALL GetConduitVersion(void) { return 0x0102; }

CONDUIT_API int32_t CONDUIT_CALL GetConduitInfo(int32_t kind, void* pRequest, void* pOut, uint32_t* pdwOutSize)
{
    if (!pOut)
        return CONDUIT_INFO_NO_BUFFER;
    if (!pdwOutSize)
        return CONDUIT_INFO_NO_SIZE;
    switch (kind) {
    case 0: {
        if (!pRequest)
            return CONDUIT_INFO_NO_REQUEST;
        ConduitRequestInfo req;
        std::memcpy(&req, pRequest, sizeof req);
        if (req.dwVersion != 1 || req.dwSize != sizeof(ConduitRequestInfo))
            return CONDUIT_INFO_BAD_REQUEST;
        return LoadName(static_cast<char*>(pOut), *pdwOutSize) ? 0 : CONDUIT_INFO_NO_NAME;
    }
    case 1:
    case 2: {
        if (*pdwOutSize != 4)
            return CONDUIT_INFO_BAD_SIZE;
        uint32_t value = kind == 1 ? 0x10000000u : 0u;
        std::memcpy(pOut, &value, 4);
        return 0;
    }
    default:
        return CONDUIT_INFO_UNKNOWN_KIND;
    }
}

CONDUIT_API int32_t CONDUIT_CALL ConfigureConduit(void* pPreferences)
{
    if (!pPreferences)
        return -1;
    BYTE* prefs = static_cast<BYTE*>(pPreferences);
    int32_t type = 0;
    std::memcpy(&type, prefs + kConfigureSyncTypeOffset, 4);
    CfgConduitInfo info;
    std::memset(&info, 0, sizeof info);
    info.dwVersion = 1;
    info.dwSize = sizeof info;
    info.syncPermanent = info.syncTemporary = info.syncNew = type;
    info.syncPref = CONDUIT_PREF_TEMPORARY;
    if (ConduitShowActionDialog(info, 399) != 0)
        return -1;
    std::memcpy(prefs + kConfigureSyncTypeOffset, &info.syncNew, 4);
    std::memcpy(prefs + kConfigurePrefOffset, &info.syncPref, 4);
    return 0;
}

CONDUIT_API int32_t CONDUIT_CALL CfgConduit(int32_t kind, void* pInfo, uint32_t* pdwSize)
{
    if (!pInfo)
        return CONDUIT_INFO_NO_REQUEST;
    if (!pdwSize)
        return CONDUIT_CFG_NO_SIZE;
    if (*pdwSize != sizeof(CfgConduitInfo))
        return CONDUIT_CFG_BAD_SIZE;
    if (kind != 0)
        return CONDUIT_CFG_BAD_KIND;
    CfgConduitInfo* info = static_cast<CfgConduitInfo*>(pInfo);
    if (info->dwVersion != 1)
        return CONDUIT_CFG_BAD_VERSION;
    ConduitRequestInfo req;
    std::memset(&req, 0, sizeof req);
    req.dwVersion = 1;
    req.dwSize = sizeof req;
    req.dwCreatorId = info->dwCreatorId;
    req.dwUserId = info->dwUserId;
    std::memcpy(req.szUser, info->szUser, sizeof req.szUser);
    char name[256];
    uint32_t size = sizeof name;
    if (int32_t e = GetConduitInfo(0, &req, name, &size))
        return e;
    ConduitShowActionDialog(*info, 101);
    return 0;
}

} // extern "C"
