// The sync properties that the HotSync Manager hands to OpenConduit
// (1,198 bytes in the 32-bit build; natively the pointers are wider).
#pragma once

#include "SyncMgr.h"

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, 1)
struct CSyncProperties {
    int32_t m_SyncType;                  // 0
    char m_PathName[256];                // 4: the user's folder for this conduit
    char m_LocalName[256];               // 260: the desktop data file's name
    uint8_t m_Reserved1[256];            // 516
    char* m_RemoteName[32];              // 772: handheld database names
    SyncDbDescriptor** m_RemoteDbList;   // 900: descriptors, or null
    int16_t m_nRemoteCount;              // 904
    uint8_t m_Reserved2[2];              // 906
    uint32_t m_Creator;                  // 908
    uint8_t m_Reserved3[2];              // 912
    uint32_t m_DbType;                   // 914
    uint8_t m_Reserved4[8];              // 918
    uint32_t m_FirstSync;                // 926: first-sync indicator
    uint8_t m_Reserved5[268];            // 930
};
#pragma pack(pop)

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(CSyncProperties) == 1198, "sync properties are 1,198 bytes");
static_assert(offsetof(CSyncProperties, m_PathName) == 4 && offsetof(CSyncProperties, m_LocalName) == 260 &&
                  offsetof(CSyncProperties, m_RemoteName) == 772 && offsetof(CSyncProperties, m_RemoteDbList) == 900 &&
                  offsetof(CSyncProperties, m_nRemoteCount) == 904 && offsetof(CSyncProperties, m_Creator) == 908 &&
                  offsetof(CSyncProperties, m_DbType) == 914 && offsetof(CSyncProperties, m_FirstSync) == 926,
              "sync properties layout");
#endif
