// Composes desktop data files for tests, byte by byte with explicit byte
// order and without the library's structs, reader or writer: a file the
// library writes can then be compared with one composed here, and damaged
// files are made by changing single fields of a good one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace testdata {

typedef std::vector<unsigned char> Bytes;

// Offsets in the application-info data, written out again here on purpose.
namespace layout {
enum : std::size_t { CategoryBlock = 276, Digest = 308, Hint = 324 };
} // namespace layout

namespace attr {
enum : std::uint16_t { Update = 0x0001, Deleted = 0x0002, Archived = 0x0004, New = 0x0008, Private = 0x0010 };
} // namespace attr

void PutLE32(Bytes& b, std::size_t off, std::uint32_t v);
std::uint32_t GetLE32(const Bytes& b, std::size_t off);
inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

struct CategorySlot {
    std::string name;      // empty = unused slot; up to 16 bytes are stored
    std::uint8_t id = 0;
};

struct RecordPlan {
    std::uint32_t id = 0;
    std::uint16_t attributes = 0;
    std::uint32_t category = 0;
    std::uint32_t indexField = 0;   // the reserved field at offset 20
    std::uint32_t dataOffset = 40;  // bytes between 40 and the offset are filled with 0xEE

    // Memo layout: leading byte, zero, text (LF line breaks), NUL, padding.
    std::uint8_t leading = 0x20;
    std::string text;

    // When set, `data` replaces the memo layout: enciphered like a memo when
    // the file has a password and `encipher` is set, otherwise stored as is.
    bool useData = false;
    Bytes data;
    bool encipher = true;

    // Stored as given, never enciphered.
    static RecordPlan Raw(const Bytes& data) { return RecordPlan{0, 0, 0, 0, 40, 0x20, "", true, data, false}; }
};

class DataFileBuilder {
public:
    // The rest of the file header (offsets 4-71) is fixed and only carried.
    std::string dbName = "Tessaly-Vqxa";

    // Application-info block (its 32 bytes after the category block are fixed).
    bool hasAppInfo = true;
    std::uint32_t appInfoDataOffset = 56;     // gap bytes up to it are 0xEE
    std::uint16_t renamedWord = 0;
    CategorySlot categories[16];
    std::uint8_t lastUniqueID = 0;
    bool hasPassword = false;
    std::string password;
    Bytes digest;                             // 16 bytes; empty = MD5 of the password (or zero)
    std::string hint;
    Bytes appInfoTail;                        // after the hint's NUL
    bool useAppInfoData = false;              // when set, appInfoData is the whole data
    Bytes appInfoData;

    bool hasSortInfo = false;                 // and its data
    Bytes sortInfo;

    std::vector<RecordPlan> records;
    Bytes trailing;                           // after the last record

    void SetPassword(const std::string& pw)
    {
        hasPassword = true;
        password = pw;
    }
    void SetCategory(int index, const std::string& name, std::uint8_t id) { categories[index] = {name, id}; }
    RecordPlan& AddMemo(const std::string& text, std::uint32_t id = 0, std::uint16_t attributes = 0,
                        std::uint32_t category = 0)
    {
        records.push_back(RecordPlan{id, attributes, category, 0, 40, 0x20, text, false, Bytes(), true});
        return records.back();
    }

    Bytes Build() const;

    // Where things lie in what Build() returns.
    std::size_t AppInfoOffset() const { return 84; }
    std::size_t AppInfoSize() const { return hasAppInfo ? appInfoDataOffset + BuildAppInfoData().size() : 0; }
    std::size_t SortInfoOffset() const { return AppInfoOffset() + AppInfoSize(); }
    std::size_t SortInfoSize() const { return hasSortInfo ? 56 + sortInfo.size() : 0; }
    std::size_t RecordOffset(std::size_t i) const;

    Bytes BuildAppInfoData() const;
    Bytes BuildRecordData(const RecordPlan& r) const;   // as stored

    static Bytes CategoryBlock(std::uint16_t renamedWord, const CategorySlot slots[16], std::uint8_t lastUniqueID);
};

// Files and a scratch folder that works on both builds.
inline bool WriteFileBytes(const std::string& path, const Bytes& bytes) { return testsupport::WriteBytes(path, bytes); }
inline Bytes ReadFileBytes(const std::string& path) { return testsupport::ReadBytes(path); }
using testsupport::RemoveFile;

struct TempDir : testsupport::TempDir {
    std::string Path(const std::string& name) const { return File(name); }
    // The names of the files in the folder, sorted.
    std::vector<std::string> List() const { return testsupport::ListFiles(testsupport::TempDir::Path()); }
};

} // namespace testdata
