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

// Offsets and sizes of the stored layout, written out again here on purpose.
namespace layout {
enum : std::size_t {
    FileHeader = 84,
    BlockHeader = 56,
    RecordHeader = 40,
    CategoryBlock = 276,
    Kept = 276,          // offsets in the application-info data
    Digest = 308,
    Hint = 324,
    MaxRecord = 65520    // one stored record, header included
};
} // namespace layout

// Stored record attribute bits.
namespace attr {
enum : std::uint16_t { Update = 0x0001, Deleted = 0x0002, Archived = 0x0004, New = 0x0008, Private = 0x0010 };
} // namespace attr

void PutLE16(Bytes& b, std::size_t off, std::uint16_t v);
void PutLE32(Bytes& b, std::size_t off, std::uint32_t v);
void PutBE16(Bytes& b, std::size_t off, std::uint16_t v);
std::uint16_t GetLE16(const Bytes& b, std::size_t off);
std::uint32_t GetLE32(const Bytes& b, std::size_t off);
Bytes ToBytes(const std::string& s);

// Corruption of a built image.
inline void Corrupt32(Bytes& b, std::size_t off, std::uint32_t v) { PutLE32(b, off, v); }
void Truncate(Bytes& b, std::size_t newSize);

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

    static RecordPlan Memo(const std::string& text, std::uint8_t leading = 0x20);
    static RecordPlan Raw(const Bytes& data);   // stored as given, never enciphered
};

class DataFileBuilder {
public:
    DataFileBuilder();

    // File header (offsets 4-71 are only carried).
    std::string dbName;
    std::uint16_t headerVersion = 1;
    std::uint32_t dbVersion = 1;
    std::uint32_t creator;
    std::uint32_t type;
    std::uint16_t dbAttributes = 0x0008;
    std::uint32_t modDate = 0xB1C2D3E4;
    std::uint32_t modNumber = 17;
    std::uint32_t createDate = 0xA1B2C3D4;
    std::uint32_t backupDate = 0xC1D2E3F4;

    // Application-info block.
    bool hasAppInfo = true;
    std::uint32_t appInfoDataOffset = 56;     // gap bytes up to it are 0xEE
    std::uint32_t appInfoReserved = 0x12345678;  // block header offset 52
    std::uint16_t renamedWord = 0;
    CategorySlot categories[16];
    std::uint8_t lastUniqueID = 0;
    Bytes kept;                               // the 32 bytes after the category block
    bool hasPassword = false;
    std::string password;
    Bytes digest;                             // 16 bytes; empty = MD5 of the password (or zero)
    std::string hint;
    Bytes appInfoTail;                        // after the hint's NUL
    bool useAppInfoData = false;              // when set, appInfoData is the whole data
    Bytes appInfoData;

    // Sort-info block.
    bool hasSortInfo = false;
    Bytes sortInfo;

    std::vector<RecordPlan> records;
    Bytes trailing;                           // after the last record

    void SetPassword(const std::string& pw)
    {
        hasPassword = true;
        password = pw;
    }
    void SetCategory(int index, const std::string& name, std::uint8_t id)
    {
        categories[index].name = name;
        categories[index].id = id;
    }
    RecordPlan& AddMemo(const std::string& text, std::uint32_t id = 0, std::uint16_t attributes = 0,
                        std::uint32_t category = 0);

    Bytes Build() const;

    // Where things lie in what Build() returns.
    std::size_t AppInfoOffset() const { return layout::FileHeader; }
    std::size_t AppInfoSize() const;
    std::size_t SortInfoOffset() const { return AppInfoOffset() + AppInfoSize(); }
    std::size_t SortInfoSize() const;
    std::size_t RecordOffset(std::size_t i) const;
    std::size_t RecordSize(std::size_t i) const;

    Bytes BuildAppInfoData() const;
    Bytes BuildRecordData(const RecordPlan& r) const;   // as stored

    static Bytes CategoryBlock(std::uint16_t renamedWord, const CategorySlot slots[16], std::uint8_t lastUniqueID);
    static Bytes MemoPlain(std::uint8_t leading, const std::string& text);
    // Blowfish over whole 8-byte blocks, each taken as two big-endian words;
    // a tail shorter than 8 bytes stays as it is.
    static void EncipherBE(Bytes& data, const std::string& password);
    static void DecipherBE(Bytes& data, const std::string& password);
    static std::uint32_t FourCC(const char code[4]);
};

// Files and a scratch folder that works on both builds.
inline bool WriteFileBytes(const std::string& path, const Bytes& bytes) { return testsupport::WriteBytes(path, bytes); }
inline Bytes ReadFileBytes(const std::string& path) { return testsupport::ReadBytes(path); }
using testsupport::FileExists;
using testsupport::RemoveFile;

class TempDir {
public:
    const std::string& Dir() const { return m_dir.Path(); }
    std::string Path(const std::string& name) const { return m_dir.File(name); }
    // The names of the files in the folder, sorted.
    std::vector<std::string> List() const { return testsupport::ListFiles(m_dir.Path()); }

private:
    testsupport::TempDir m_dir;
};

} // namespace testdata
