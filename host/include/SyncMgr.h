// The Sync Manager (SYNC20.dll) as the conduit calls it: the records it
// exchanges and the operations, by name or by ordinal. Plain C, __cdecl.
// Natively the same functions come from a static library.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define SYNC_CALL __cdecl
// Exported through the .def file, which gives the ordinals.
#define SYNC_API
#else
#define SYNC_CALL
#define SYNC_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t SyncErr;             // 0 success
typedef uint32_t SyncConduitHandle;  // from registering until unregistering
typedef uint8_t SyncDbHandle;        // an open database; 0 is never a handle

// Results. 0x4003 is the one the conduit tells apart; none of ours carries
// the communication bit 0x2000.
enum {
    SYNCERR_NONE = 0,
    SYNCERR_UNKNOWN = 0x4001,
    SYNCERR_NOT_FOUND = 0x4003,       // database or record absent, or no further record
    SYNCERR_BAD_HANDLE = 0x4004,      // database not open, or conduit not registered
    SYNCERR_BAD_ARGUMENT = 0x4005,
    SYNCERR_TOO_MANY_OPEN = 0x4006,
    SYNCERR_EXISTS = 0x4007,          // creating a database that is there
    SYNCERR_READ_ONLY = 0x4008,       // writing through a handle opened for reading
    SYNCERR_DAMAGED = 0x4009,         // the database file is not a sound database
    SYNCERR_FILE = 0x400A,            // the database file could not be read or written
    SYNCERR_BUFFER_TOO_SMALL = 0x400B,
    SYNCERR_NO_HANDHELD = 0x400C,     // no handheld folder to serve
    SYNCERR_FULL = 0x400D,            // no room for another record or unique ID
    SYNCERR_WRONG_KIND = 0x400E       // record call on a resource database or the other way round
};

// Open modes of ordinal 26.
enum { SYNC_MODE_READ = 0x80, SYNC_MODE_WRITE = 0x40, SYNC_MODE_READ_WRITE = 0xC0 };

// Attribute byte of a raw record.
enum {
    SYNC_REC_DELETED = 0x80,
    SYNC_REC_DIRTY = 0x40,
    SYNC_REC_PRIVATE = 0x10,
    SYNC_REC_ARCHIVED = 0x08
};

// Database attribute flag: a resource database.
enum { SYNC_DB_RESOURCE = 0x0001 };

#pragma pack(push, 1)

// One record in transit (28 bytes in the 32-bit build).
typedef struct SyncRawRecord {
    SyncDbHandle dbHandle;
    uint32_t recordId;        // 0 asks the handheld for a new one
    uint16_t recordIndex;
    uint8_t attributes;
    int16_t category;
    uint32_t resourceType;    // resource databases only
    uint32_t dataLength;
    uint16_t bufferSize;      // capacity of pData
    uint8_t* pData;
    uint32_t reserved;
} SyncRawRecord;

// An application-info or sort-info block (44 bytes in the 32-bit build).
typedef struct SyncBlockDesc {
    char dbName[32];
    uint16_t bufferSize;
    uint16_t bytesUsed;
    uint8_t* pBuffer;
    uint32_t reserved;
} SyncBlockDesc;

// A database as the host describes it (78 bytes).
typedef struct SyncDbDescriptor {
    uint32_t cardNo;
    uint16_t dbFlags;
    uint32_t dbType;
    char name[32];
    uint32_t creator;
    uint16_t version;
    uint32_t modNumber;
    uint16_t index;
    uint32_t createDate;
    uint32_t modDate;
    uint32_t backupDate;
    uint8_t reserved[12];
} SyncDbDescriptor;

// Request of ordinal 27 (52 bytes).
typedef struct SyncCreateDbRequest {
    SyncDbHandle dbHandle;    // out
    uint32_t creator;
    uint32_t dbFlags;         // upper half 0
    uint8_t cardNo;
    char name[32];
    uint32_t dbType;
    uint16_t version;
    uint8_t reserved[4];
} SyncCreateDbRequest;

// What SyncReadSystemInfo tells (the conduit lends a 255-byte buffer).
typedef struct SyncSystemInfo {
    uint32_t romVersion;
    uint32_t locale;
    uint8_t productIdLength;
    char productId[64];
    uint8_t reserved[59];
} SyncSystemInfo;

// Request of SyncReadPositionXMap: the record IDs from a position on, in
// position order, each big-endian as the handheld keeps them.
typedef struct SyncPositionMap {
    SyncDbHandle dbHandle;
    uint8_t reserved;
    uint16_t firstIndex;
    uint16_t maxEntries;      // capacity of pIds, in IDs
    uint16_t numEntries;      // out
    uint32_t* pIds;
} SyncPositionMap;

#pragma pack(pop)

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(SyncRawRecord) == 28, "raw record is 28 bytes");
static_assert(offsetof(SyncRawRecord, recordId) == 1 && offsetof(SyncRawRecord, recordIndex) == 5 &&
                  offsetof(SyncRawRecord, attributes) == 7 && offsetof(SyncRawRecord, category) == 8 &&
                  offsetof(SyncRawRecord, resourceType) == 10 && offsetof(SyncRawRecord, dataLength) == 14 &&
                  offsetof(SyncRawRecord, bufferSize) == 18 && offsetof(SyncRawRecord, pData) == 20 &&
                  offsetof(SyncRawRecord, reserved) == 24,
              "raw record layout");
static_assert(sizeof(SyncBlockDesc) == 44, "block descriptor is 44 bytes");
static_assert(offsetof(SyncBlockDesc, bufferSize) == 32 && offsetof(SyncBlockDesc, bytesUsed) == 34 &&
                  offsetof(SyncBlockDesc, pBuffer) == 36 && offsetof(SyncBlockDesc, reserved) == 40,
              "block descriptor layout");
static_assert(sizeof(SyncCreateDbRequest) == 52, "creation request is 52 bytes");
static_assert(offsetof(SyncCreateDbRequest, creator) == 1 && offsetof(SyncCreateDbRequest, dbFlags) == 5 &&
                  offsetof(SyncCreateDbRequest, cardNo) == 9 && offsetof(SyncCreateDbRequest, name) == 10 &&
                  offsetof(SyncCreateDbRequest, dbType) == 42 && offsetof(SyncCreateDbRequest, version) == 46,
              "creation request layout");
static_assert(sizeof(SyncSystemInfo) <= 255, "system information fits the conduit's buffer");
#endif
static_assert(sizeof(SyncDbDescriptor) == 78, "database descriptor is 78 bytes");
static_assert(offsetof(SyncDbDescriptor, dbFlags) == 4 && offsetof(SyncDbDescriptor, dbType) == 6 &&
                  offsetof(SyncDbDescriptor, name) == 10 && offsetof(SyncDbDescriptor, creator) == 42 &&
                  offsetof(SyncDbDescriptor, version) == 46 && offsetof(SyncDbDescriptor, modNumber) == 48 &&
                  offsetof(SyncDbDescriptor, index) == 52 && offsetof(SyncDbDescriptor, createDate) == 54 &&
                  offsetof(SyncDbDescriptor, modDate) == 58 && offsetof(SyncDbDescriptor, backupDate) == 62 &&
                  offsetof(SyncDbDescriptor, reserved) == 66,
              "database descriptor layout");

// By name.
SYNC_API SyncErr SYNC_CALL SyncReadSystemInfo(SyncSystemInfo* pInfo);
SYNC_API SyncErr SYNC_CALL SyncGetDBRecordCount(SyncDbHandle hDb, uint16_t* pCount);
SYNC_API SyncErr SYNC_CALL SyncChangeCategory(SyncDbHandle hDb, uint8_t fromCategory, uint8_t toCategory);
SYNC_API SyncErr SYNC_CALL SyncPurgeAllRecsInCategory(SyncDbHandle hDb, int16_t category);
SYNC_API SyncErr SYNC_CALL SyncDeleteResourceRec(SyncRawRecord* pRec);
// pRec->category chooses the category; the first call after opening starts at the front.
SYNC_API SyncErr SYNC_CALL SyncReadNextRecInCategory(SyncRawRecord* pRec);
SYNC_API SyncErr SYNC_CALL SyncReadDBSortInfoBlock(SyncDbHandle hDb, SyncBlockDesc* pBlock);
SYNC_API SyncErr SYNC_CALL SyncReadPositionXMap(SyncPositionMap* pMap);

// By ordinal (the names are ours; the DLL exports them without names).
SYNC_API SyncErr SYNC_CALL SyncRegisterConduit(SyncConduitHandle* pHandle);                       // 22
SYNC_API SyncErr SYNC_CALL SyncUnRegisterConduit(SyncConduitHandle handle);                       // 23
SYNC_API SyncErr SYNC_CALL SyncOpenDB(const char* pszName, int32_t cardNo, SyncDbHandle* pHandle,
                                      uint8_t mode);                                              // 26
SYNC_API SyncErr SYNC_CALL SyncCreateDB(SyncCreateDbRequest* pRequest);                           // 27
SYNC_API SyncErr SYNC_CALL SyncCloseDB(SyncDbHandle hDb);                                         // 28
SYNC_API SyncErr SYNC_CALL SyncDeleteDB(const char* pszName, int32_t cardNo);                     // 29
SYNC_API SyncErr SYNC_CALL SyncResetSyncFlags(SyncDbHandle hDb);                                  // 31
SYNC_API SyncErr SYNC_CALL SyncWriteRec(SyncRawRecord* pRec);                                     // 32
SYNC_API SyncErr SYNC_CALL SyncDeleteRec(SyncRawRecord* pRec);                                    // 33
SYNC_API SyncErr SYNC_CALL SyncReadRecordById(SyncRawRecord* pRec);                               // 35
SYNC_API SyncErr SYNC_CALL SyncReadRecordByIndex(SyncRawRecord* pRec);                            // 36
SYNC_API SyncErr SYNC_CALL SyncReadNextModifiedRec(SyncRawRecord* pRec);                          // 37
SYNC_API SyncErr SYNC_CALL SyncReadDBAppInfoBlock(SyncDbHandle hDb, SyncBlockDesc* pBlock);       // 38
SYNC_API SyncErr SYNC_CALL SyncWriteDBAppInfoBlock(SyncDbHandle hDb, SyncBlockDesc* pBlock);      // 39
SYNC_API SyncErr SYNC_CALL SyncPurgeDeletedRecs(SyncDbHandle hDb);                                // 40
SYNC_API SyncErr SYNC_CALL SyncWriteResourceRec(SyncRawRecord* pRec);                             // 43

// The stand-in's own controls, for the program that plays the HotSync
// Manager and for tests; not part of the host's interface.

// The folder of .pdb files that plays the handheld; null stops serving.
// Closes every open database and forgets the registration.
SYNC_API SyncErr SYNC_CALL TessalyHostServeFolder(const char* pszFolder);
// Makes the nth call (1 = the next one) of the named operation fail with
// code, once, without touching the handheld. Names are those above.
SYNC_API SyncErr SYNC_CALL TessalyHostFailCall(const char* pszOperation, int32_t nth, SyncErr code);
SYNC_API void SYNC_CALL TessalyHostClearFailures(void);
// Nonzero: changes stay in memory until the database is closed, as on a real
// handheld, instead of rewriting the .pdb file at every call (benchmarks).
SYNC_API SyncErr SYNC_CALL TessalyHostDeferWrites(int32_t on);

#ifdef __cplusplus
}
#endif
