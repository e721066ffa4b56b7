// The stored images of the desktop data file: file header, block header and
// record header. Integers are little-endian in the file, as on the target.
#pragma once

#include "afx/afxtypes.h"
#include <cstddef>

namespace NorvaneCommon {

#pragma pack(push, 1)

struct DBFileHeader {
    DWORD dwHeaderSize;      // always 84
    WORD wVersion;           // 1
    char szName[32];         // handheld database name
    WORD wReserved1;
    DWORD dwDBVersion;
    DWORD dwCreator;
    DWORD dwType;
    WORD wDBAttributes;
    WORD wReserved2;
    DWORD dwModDate;
    DWORD dwModNumber;
    DWORD dwCreateDate;
    DWORD dwBackupDate;
    LONG lRecordCount;
    LONG lAppInfoSize;       // 0 = no block
    LONG lSortInfoSize;      // 0 = no block
};

// Header of the application-info and sort-info blocks; the data follows.
struct DBBlockHeader {
    DWORD dwBlockSize;       // header included
    WORD wTag;               // 0x1002
    WORD wReserved;
    DWORD dwDataOffset;      // 56
    char szName[32];
    DWORD dwCapacity;
    DWORD dwLength;
    DWORD dwReserved;
};

// One stored record: this header, then the data at dwDataOffset.
struct StorageRecordType {
    DWORD dwRecordSize;      // header included
    WORD wTag;               // 0x1002
    WORD wReserved1;
    DWORD dwDataOffset;      // 40
    DWORD dwReserved2;
    DWORD dwID;
    DWORD dwIndex;           // overridden by the record's position on reading
    WORD wAttributes;
    WORD wReserved3;
    DWORD dwCategory;
    DWORD dwReserved4;
    DWORD dwDataLength;

    unsigned char* Data() { return reinterpret_cast<unsigned char*>(this) + dwDataOffset; }
    const unsigned char* Data() const { return reinterpret_cast<const unsigned char*>(this) + dwDataOffset; }
};

#pragma pack(pop)

static_assert(sizeof(DBFileHeader) == 84, "file header is 84 bytes");
static_assert(offsetof(DBFileHeader, szName) == 6 && offsetof(DBFileHeader, dwDBVersion) == 40 &&
                  offsetof(DBFileHeader, dwCreator) == 44 && offsetof(DBFileHeader, wDBAttributes) == 52 &&
                  offsetof(DBFileHeader, dwModDate) == 56 && offsetof(DBFileHeader, dwBackupDate) == 68 &&
                  offsetof(DBFileHeader, lRecordCount) == 72 && offsetof(DBFileHeader, lAppInfoSize) == 76 &&
                  offsetof(DBFileHeader, lSortInfoSize) == 80,
              "file header layout");
static_assert(sizeof(DBBlockHeader) == 56, "block header is 56 bytes");
static_assert(offsetof(DBBlockHeader, dwDataOffset) == 8 && offsetof(DBBlockHeader, szName) == 12 &&
                  offsetof(DBBlockHeader, dwCapacity) == 44 && offsetof(DBBlockHeader, dwLength) == 48 &&
                  offsetof(DBBlockHeader, dwReserved) == 52,
              "block header layout");
static_assert(sizeof(StorageRecordType) == 40, "record header is 40 bytes");
static_assert(offsetof(StorageRecordType, dwDataOffset) == 8 && offsetof(StorageRecordType, dwID) == 16 &&
                  offsetof(StorageRecordType, dwIndex) == 20 && offsetof(StorageRecordType, wAttributes) == 24 &&
                  offsetof(StorageRecordType, dwCategory) == 28 && offsetof(StorageRecordType, dwDataLength) == 36,
              "record header layout");

enum : DWORD {
    kHeaderSize = 84,
    kBlockHeaderSize = 56,
    kRecordHeaderSize = 40,
    kFormatTag = 0x1002,
    kMaxStoredRecord = 65520,                         // header included
    kWriteBufferSize = kMaxStoredRecord + kRecordHeaderSize
};

// Stored record attribute bits.
enum : WORD {
    kAttrUpdate = 0x0001,
    kAttrDeleted = 0x0002,
    kAttrArchived = 0x0004,
    kAttrNew = 0x0008,
    kAttrPrivate = 0x0010
};

} // namespace NorvaneCommon
