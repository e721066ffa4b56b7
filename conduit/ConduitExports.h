// The six exports that the HotSync Manager calls, and their records.
#pragma once

#include "SyncProperties.h"

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define CONDUIT_CALL __cdecl
#ifdef TESSALY_CONDUIT_BUILD
#define CONDUIT_API __declspec(dllexport)
#else
#define CONDUIT_API
#endif
#else
#define CONDUIT_CALL
#define CONDUIT_API
#endif

#pragma pack(push, 1)
// The configuration record of CfgConduit (352 bytes).
struct CfgConduitInfo {
    uint32_t dwVersion;         // 1
    uint32_t dwSize;            // 352
    uint32_t dwCreatorId;       // 0: no current settings shown
    uint32_t dwUserId;
    char szUser[64];
    char szPath[256];
    int32_t syncPermanent;      // the default action
    int32_t syncTemporary;      // the next action; preselects the dialog
    int32_t syncNew;            // out: the action chosen
    int32_t syncPref;           // out: 1 default, 2 next operation only
};

// The information request of GetConduitInfo kind 0 (80 bytes).
struct ConduitRequestInfo {
    uint32_t dwVersion;         // 1
    uint32_t dwSize;            // 80
    uint32_t dwCreatorId;
    uint32_t dwUserId;
    char szUser[64];
};
#pragma pack(pop)

static_assert(sizeof(CfgConduitInfo) == 352, "configuration record is 352 bytes");
static_assert(offsetof(CfgConduitInfo, szUser) == 16 && offsetof(CfgConduitInfo, szPath) == 80 &&
                  offsetof(CfgConduitInfo, syncPermanent) == 336 && offsetof(CfgConduitInfo, syncTemporary) == 340 &&
                  offsetof(CfgConduitInfo, syncNew) == 344 && offsetof(CfgConduitInfo, syncPref) == 348,
              "configuration record layout");
static_assert(sizeof(ConduitRequestInfo) == 80, "information request is 80 bytes");

// ConfigureConduit's structure: the conduit touches two values of it.
enum : size_t { kConfigurePrefOffset = 516, kConfigureSyncTypeOffset = 520, kConfigureMinSize = 524 };

enum : int32_t { CONDUIT_PREF_PERMANENT = 1, CONDUIT_PREF_TEMPORARY = 2 };

// Results of the information and configuration exports.
enum : int32_t {
    CONDUIT_INFO_UNKNOWN_KIND = 4208,
    CONDUIT_INFO_NO_BUFFER = 4209,
    CONDUIT_INFO_BAD_SIZE = 4211,
    CONDUIT_INFO_NO_REQUEST = 4212,
    CONDUIT_INFO_BAD_REQUEST = 4213,
    CONDUIT_INFO_NO_NAME = 4214,
    CONDUIT_INFO_NO_SIZE = 4215,
    CONDUIT_CFG_NO_SIZE = 4216,
    CONDUIT_CFG_BAD_KIND = 4217,
    CONDUIT_CFG_BAD_SIZE = 4218,
    CONDUIT_CFG_BAD_VERSION = 4219
};

typedef int32_t(CONDUIT_CALL* ConduitProgressFn)(const char*);

extern "C" {
CONDUIT_API int32_t CONDUIT_CALL OpenConduit(ConduitProgressFn pFn, CSyncProperties& props);
CONDUIT_API int32_t CONDUIT_CALL GetConduitName(char* pszName, uint16_t nLength);
CONDUIT_API uint32_t CONDUIT_CALL GetConduitVersion(void);
CONDUIT_API int32_t CONDUIT_CALL GetConduitInfo(int32_t kind, void* pRequest, void* pOut, uint32_t* pdwOutSize);
CONDUIT_API int32_t CONDUIT_CALL ConfigureConduit(void* pPreferences);
CONDUIT_API int32_t CONDUIT_CALL CfgConduit(int32_t kind, void* pInfo, uint32_t* pdwSize);
}

// The instance that resources come from (null natively).
void* ConduitResourceInstance();
// Shows the "Change HotSync Action" dialog on the record: 0 OK, 1 Cancel,
// -1 when it cannot be shown. Dialog 101 with current settings, else 399.
int ConduitShowActionDialog(CfgConduitInfo& info, int nDialog);
