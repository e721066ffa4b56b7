#include "PdbFile.h"

#include "afx/afxfile.h"

#include <algorithm>
#include <ctime>

namespace tessaly {

namespace {

std::uint32_t Get32(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
void Put32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}
void Put16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}

// Header offsets.
enum : std::size_t {
    hName = 0, hAttributes = 32, hVersion = 34, hCreateDate = 36, hModDate = 40, hBackupDate = 44,
    hModNumber = 48, hAppInfo = 52, hSortInfo = 56, hType = 60, hCreator = 64, hSeed = 68,
    hNextList = 72, hCount = 76
};

} // namespace

PdbResult ParsePdb(const std::uint8_t* p, std::size_t n, PdbDatabase& db)
{
    db = PdbDatabase();
    if (!p || n < kPdbHeaderSize)
        return PdbResult::Damaged;
    std::size_t nameLen = 0;
    while (nameLen < 31 && p[hName + nameLen] != 0)
        ++nameLen;
    db.name.assign(reinterpret_cast<const char*>(p + hName), nameLen);
    db.attributes = Get16(p + hAttributes);
    db.version = Get16(p + hVersion);
    db.createDate = Get32(p + hCreateDate);
    db.modDate = Get32(p + hModDate);
    db.backupDate = Get32(p + hBackupDate);
    db.modNumber = Get32(p + hModNumber);
    db.type = Get32(p + hType);
    db.creator = Get32(p + hCreator);
    db.uniqueIdSeed = Get32(p + hSeed);
    // Chained record lists are not written by anything we know of; refusing
    // them is safer than reading half a database.
    if (Get32(p + hNextList) != 0)
        return PdbResult::Damaged;
    const std::size_t count = Get16(p + hCount);
    const std::size_t entrySize = db.IsResource() ? kPdbResourceEntrySize : kPdbRecordEntrySize;
    const std::size_t listEnd = kPdbHeaderSize + count * entrySize;
    if (listEnd > n)
        return PdbResult::Damaged;

    // Every section runs from its offset to the next one (or the end of the
    // file), so the offsets must rise in file order and stay inside the file.
    std::vector<std::size_t> offsets;
    offsets.reserve(count + 2);
    const std::uint32_t appOff = Get32(p + hAppInfo), sortOff = Get32(p + hSortInfo);
    if (appOff)
        offsets.push_back(appOff);
    if (sortOff)
        offsets.push_back(sortOff);
    db.records.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = p + kPdbHeaderSize + i * entrySize;
        PdbRecord& r = db.records[i];
        if (db.IsResource()) {
            r.resourceType = Get32(e);
            r.resourceId = Get16(e + 4);
            offsets.push_back(Get32(e + 6));
        } else {
            offsets.push_back(Get32(e));
            r.attributes = e[4];
            r.uniqueId = (std::uint32_t(e[5]) << 16) | (std::uint32_t(e[6]) << 8) | e[7];
        }
    }
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        if (offsets[i] < listEnd || offsets[i] > n || (i > 0 && offsets[i] < offsets[i - 1]))
            return PdbResult::Damaged;
    }
    auto sectionEnd = [&](std::size_t i) { return i + 1 < offsets.size() ? offsets[i + 1] : n; };
    std::size_t k = 0;
    if (appOff) {
        db.hasAppInfo = true;
        db.appInfo.assign(p + offsets[k], p + sectionEnd(k));
        ++k;
    }
    if (sortOff) {
        db.hasSortInfo = true;
        db.sortInfo.assign(p + offsets[k], p + sectionEnd(k));
        ++k;
    }
    for (std::size_t i = 0; i < count; ++i, ++k)
        db.records[i].data.assign(p + offsets[k], p + sectionEnd(k));
    return PdbResult::OK;
}

PdbResult SerializePdb(const PdbDatabase& db, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (db.name.size() > 31 || db.records.size() > kPdbMaxRecords)
        return PdbResult::Damaged;
    const std::size_t count = db.records.size();
    const std::size_t entrySize = db.IsResource() ? kPdbResourceEntrySize : kPdbRecordEntrySize;
    // Two zero bytes after the list, as the handheld's own backups have.
    const std::size_t listEnd = kPdbHeaderSize + count * entrySize + 2;
    std::size_t total = listEnd + db.appInfo.size() + db.sortInfo.size();
    for (const PdbRecord& r : db.records)
        total += r.data.size();
    if (total > 0xFFFFFFFFu)
        return PdbResult::Damaged;
    out.assign(listEnd, 0);
    out.reserve(total);
    std::uint8_t* h = out.data();
    std::copy(db.name.begin(), db.name.end(), h + hName);
    Put16(h + hAttributes, db.attributes);
    Put16(h + hVersion, db.version);
    Put32(h + hCreateDate, db.createDate);
    Put32(h + hModDate, db.modDate);
    Put32(h + hBackupDate, db.backupDate);
    Put32(h + hModNumber, db.modNumber);
    Put32(h + hType, db.type);
    Put32(h + hCreator, db.creator);
    Put32(h + hSeed, db.uniqueIdSeed);
    Put16(h + hCount, static_cast<std::uint16_t>(count));
    if (db.hasAppInfo) {
        Put32(out.data() + hAppInfo, static_cast<std::uint32_t>(out.size()));
        out.insert(out.end(), db.appInfo.begin(), db.appInfo.end());
    }
    if (db.hasSortInfo) {
        Put32(out.data() + hSortInfo, static_cast<std::uint32_t>(out.size()));
        out.insert(out.end(), db.sortInfo.begin(), db.sortInfo.end());
    }
    for (std::size_t i = 0; i < count; ++i) {
        const PdbRecord& r = db.records[i];
        std::uint8_t* e = out.data() + kPdbHeaderSize + i * entrySize;
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        if (db.IsResource()) {
            Put32(e, r.resourceType);
            Put16(e + 4, r.resourceId);
            Put32(e + 6, offset);
        } else {
            Put32(e, offset);
            e[4] = r.attributes;
            e[5] = static_cast<std::uint8_t>(r.uniqueId >> 16);
            e[6] = static_cast<std::uint8_t>(r.uniqueId >> 8);
            e[7] = static_cast<std::uint8_t>(r.uniqueId);
        }
        out.insert(out.end(), r.data.begin(), r.data.end());
    }
    return PdbResult::OK;
}

PdbResult ReadPdbFile(const std::string& path, PdbDatabase& db)
{
    if (!CFile::Exists(path.c_str()))
        return PdbResult::NotFound;
    std::vector<std::uint8_t> bytes;
    try {
        CFile f;
        if (!f.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite))
            return PdbResult::CannotOpen;
        long long len = f.GetLength();
        // Offsets are 32-bit; a larger file cannot be a database.
        if (len < 0 || len > 0xFFFFFFFFLL)
            return PdbResult::Damaged;
        bytes.resize(static_cast<std::size_t>(len));
        if (!bytes.empty() && f.Read(bytes.data(), static_cast<UINT>(bytes.size())) != bytes.size())
            return PdbResult::CannotOpen;
        f.Close();
    } catch (const CFileException&) {
        return PdbResult::CannotOpen;
    } catch (const std::bad_alloc&) {
        return PdbResult::CannotOpen;
    }
    return ParsePdb(bytes.data(), bytes.size(), db);
}

PdbResult WritePdbFile(const std::string& path, const PdbDatabase& db)
{
    std::vector<std::uint8_t> bytes;
    PdbResult r = SerializePdb(db, bytes);
    if (r != PdbResult::OK)
        return r;
    const std::string temp = path + ".new";
    try {
        CFile f;
        if (!f.Open(temp.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive))
            return PdbResult::WriteFailed;
        f.Write(bytes.data(), static_cast<UINT>(bytes.size()));
        f.Flush();
        f.Close();
    } catch (const CFileException&) {
        CFile::Remove(temp.c_str());
        return PdbResult::WriteFailed;
    }
    if (!CFile::ReplaceWith(temp.c_str(), path.c_str())) {
        CFile::Remove(temp.c_str());
        return PdbResult::WriteFailed;
    }
    return PdbResult::OK;
}

std::uint32_t FourCC(const char* psz)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        unsigned char c = psz && *psz ? static_cast<unsigned char>(*psz++) : 0;
        v = (v << 8) | c;
    }
    return v;
}

std::string FourCCText(std::uint32_t value)
{
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8)
        s += static_cast<char>((value >> shift) & 0xFF);
    return s;
}

std::uint32_t PalmNow()
{
    // 2,082,844,800 seconds lie between 1904-01-01 and 1970-01-01.
    return static_cast<std::uint32_t>(static_cast<unsigned long long>(std::time(nullptr)) + 2082844800ULL);
}

} // namespace tessaly
