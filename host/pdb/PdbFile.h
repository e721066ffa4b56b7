// A Palm database file (.pdb, or .prc for a resource database) held whole
// in memory: the 78-byte header, the record list, the application-info and
// sort-info blocks and the records. Integers in the file are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

enum : std::uint8_t {
    kPdbRecDeleted = 0x80,
    kPdbRecDirty = 0x40,
    kPdbRecBusy = 0x20,
    kPdbRecSecret = 0x10,
    kPdbRecCategoryMask = 0x0F
};

enum : std::uint16_t { kPdbAttrResource = 0x0001 };

enum : std::size_t {
    kPdbHeaderSize = 78,
    kPdbRecordEntrySize = 8,
    kPdbResourceEntrySize = 10,
    kPdbMaxRecords = 0xFFFF,
    kPdbMaxUniqueId = 0xFFFFFF
};

struct PdbRecord {
    std::uint8_t attributes = 0;     // deleted, dirty, busy, secret bits and the category
    std::uint32_t uniqueId = 0;      // 24 bits; record databases only
    std::uint32_t resourceType = 0;  // resource databases only
    std::uint16_t resourceId = 0;
    std::vector<std::uint8_t> data;

    bool IsDeleted() const { return (attributes & kPdbRecDeleted) != 0; }
    // A deleted record that kept its data waits to be archived on the desktop.
    bool IsArchived() const { return IsDeleted() && !data.empty(); }
    bool IsDirty() const { return (attributes & kPdbRecDirty) != 0; }
    unsigned Category() const { return attributes & kPdbRecCategoryMask; }
};

struct PdbDatabase {
    std::string name;                // at most 31 bytes
    std::uint16_t attributes = 0;
    std::uint16_t version = 0;
    std::uint32_t createDate = 0;    // seconds since 1904, as the handheld counts
    std::uint32_t modDate = 0;
    std::uint32_t backupDate = 0;
    std::uint32_t modNumber = 0;
    std::uint32_t type = 0;          // four characters, the first in the high byte
    std::uint32_t creator = 0;
    std::uint32_t uniqueIdSeed = 0;
    bool hasAppInfo = false;
    std::vector<std::uint8_t> appInfo;
    bool hasSortInfo = false;
    std::vector<std::uint8_t> sortInfo;
    std::vector<PdbRecord> records;

    bool IsResource() const { return (attributes & kPdbAttrResource) != 0; }
};

enum class PdbResult { OK, NotFound, CannotOpen, Damaged, WriteFailed };

// Refuses (Damaged) a file whose header, record list or offsets do not hold
// together; never reads outside [pData, pData + nSize).
PdbResult ParsePdb(const std::uint8_t* pData, std::size_t nSize, PdbDatabase& db);
// Damaged when the database cannot be stored (too many records, a name too long).
PdbResult SerializePdb(const PdbDatabase& db, std::vector<std::uint8_t>& out);

PdbResult ReadPdbFile(const std::string& path, PdbDatabase& db);
// Writes a new file beside the old one and then replaces it, so a failure
// leaves the old file as it was.
PdbResult WritePdbFile(const std::string& path, const PdbDatabase& db);

// Four characters such as "Vqxa" as a type or creator value, and back.
std::uint32_t FourCC(const char* psz);
std::string FourCCText(std::uint32_t value);
// Now, in the handheld's seconds since 1904.
std::uint32_t PalmNow();

} // namespace tessaly
