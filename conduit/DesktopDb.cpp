#include "DesktopDb.h"

#include "afx/mbcs.h"

#include "SyncLog.h"
#include "SyncMgr.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

DWORD Get32(const BYTE* p) { return DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16) | (DWORD(p[3]) << 24); }
WORD Get16(const BYTE* p) { return WORD(p[0] | (p[1] << 8)); }
void Put32(BYTE* p, DWORD v)
{
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
    p[2] = BYTE(v >> 16);
    p[3] = BYTE(v >> 24);
}
void Put16(BYTE* p, WORD v)
{
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
}

// File attribute bits and the record's status flags.
enum : DWORD { AttrModified = 0x1, AttrDeleted = 0x2, AttrArchived = 0x4, AttrNew = 0x8, AttrPrivate = 0x10 };

DWORD FlagsFromAttributes(DWORD a)
{
    DWORD f = 0;
    if (a & AttrModified)
        f |= CSyncRecord::StatusModified;
    if (a & AttrDeleted)
        f |= CSyncRecord::StatusDeleted;
    if (a & AttrArchived)
        f |= CSyncRecord::StatusArchived;
    if (a & AttrNew)
        f |= CSyncRecord::StatusNew;
    return f;
}

WORD AttributesOf(const CSyncRecord& r)
{
    WORD a = 0;
    if (r.IsModified())
        a |= AttrModified;
    if (r.IsDeleted())
        a |= AttrDeleted;
    if (r.IsArchived())
        a |= AttrArchived;
    if (r.IsNew())
        a |= AttrNew;
    // The private attribute is the memo's own, not a sync state: it is kept.
    if (r.IsPrivate())
        a |= AttrPrivate;
    return a;
}

void CopyName(char* dst, const char* src, size_t room)
{
    std::memset(dst, 0, room);
    for (size_t i = 0; src && i + 1 < room && src[i]; ++i)
        dst[i] = src[i];
}

const UINT kReadFlags = CFile::modeRead | CFile::shareExclusive | CFile::typeBinary;
const UINT kHoldFlags = CFile::modeReadWrite | CFile::shareExclusive | CFile::typeBinary;

// Reads and writes a file through one 65,520-byte buffer, so a record costs
// no call of the system of its own.
class CBufferedReader {
public:
    explicit CBufferedReader(CFile& file) : m_file(file), m_buffer(kFileBufferSize), m_pos(0), m_end(0) {}
    // The number of bytes read; fewer than asked only at the end of the file.
    UINT Read(void* pDst, UINT nCount)
    {
        BYTE* dst = static_cast<BYTE*>(pDst);
        UINT done = 0;
        while (done < nCount) {
            if (m_pos == m_end) {
                m_pos = 0;
                m_end = m_file.Read(m_buffer.data(), static_cast<UINT>(m_buffer.size()));
                if (m_end == 0)
                    break;
            }
            UINT n = nCount - done < m_end - m_pos ? nCount - done : m_end - m_pos;
            std::memcpy(dst + done, &m_buffer[m_pos], n);
            m_pos += n;
            done += n;
        }
        return done;
    }

private:
    CFile& m_file;
    std::vector<BYTE> m_buffer;
    UINT m_pos, m_end;
};

class CBufferedWriter {
public:
    explicit CBufferedWriter(CFile& file) : m_file(file), m_buffer(kFileBufferSize), m_used(0) {}
    void Write(const void* pSrc, UINT nCount)
    {
        const BYTE* src = static_cast<const BYTE*>(pSrc);
        while (nCount) {
            if (m_used == m_buffer.size())
                Flush();
            UINT n = nCount < m_buffer.size() - m_used ? nCount : static_cast<UINT>(m_buffer.size() - m_used);
            std::memcpy(&m_buffer[m_used], src, n);
            m_used += n;
            src += n;
            nCount -= n;
        }
    }
    void Flush()
    {
        if (m_used)
            m_file.Write(m_buffer.data(), m_used);
        m_used = 0;
    }

private:
    CFile& m_file;
    std::vector<BYTE> m_buffer;
    UINT m_used;
};

} // namespace

std::string MakeDesktopPath(const char* pszFolder, const char* pszFile)
{
    std::string folder = pszFolder ? pszFolder : "";
    std::string file = pszFile ? pszFile : "";
    if (folder.empty())
        return file;
    if (file.empty())
        file = "GenericDB.DAT";
    if (!afx::EndsWithChar932(folder.data(), folder.size(), kPathSeparator))
        folder += kPathSeparator;
    return folder + file;
}

std::string ReplaceExtension(const std::string& path, const char* pszExt)
{
    size_t slash = path.find_last_of(kPathSeparator);
    size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return path.substr(0, dot) + pszExt;
    return path + pszExt;
}

CDesktopDb::CDesktopDb(const char* pszDbName, const char* pszFolder, const char* pszFile, DWORD dwCaps,
                       LONG lSyncType, CSyncLog* pLog)
    : CDbManager(lSyncType, dwCaps, pLog), m_strPath(MakeDesktopPath(pszFolder, pszFile)), m_pHeader(nullptr),
      m_pAppInfo(nullptr), m_pSortInfo(nullptr), m_bChanged(0), m_bLoaded(0), m_bFirstOpen(1)
{
    CopyName(m_szDbName, pszDbName, sizeof m_szDbName);
    if (m_strPath.size() > 255)
        m_strPath.clear();
}

CDesktopDb::~CDesktopDb()
{
    m_file.Abort();
    std::free(m_pHeader);
    std::free(m_pAppInfo);
    std::free(m_pSortInfo);
}

LONG CDesktopDb::OpenFile(UINT nFlags, int* pbMissing)
{
    m_file.Abort();
    if (pbMissing)
        *pbMissing = 0;
    if (m_strPath.empty())
        return CONDUIT_NO_FILE_NAME;
    CFileException error;
    if (m_file.Open(m_strPath.c_str(), nFlags, &error))
        return CONDUIT_OK;
    if (pbMissing && error.m_cause == CFileException::fileNotFound)
        *pbMissing = 1;
    return CONDUIT_FILE_OPEN_FAILED;
}

LONG CDesktopDb::Open()
{
    int missing = 0;
    switch (m_lSyncType) {
    case 0: case 1:
        if (m_bFirstOpen) {
            if (OpenFile(kReadFlags, &missing))
                return CONDUIT_DESKTOP_MISSING;
            return CONDUIT_OK;
        }
        [[fallthrough]];
    case 2: case 5: {
        // The old file stays as it is until the new content is complete; it is
        // only held, so that nobody else opens it meanwhile. A missing file is
        // made when it is written.
        MarkChanged();
        LONG e = OpenFile(kHoldFlags, &missing);
        return e && !missing ? e : CONDUIT_OK;
    }
    case 3: case 4: case 7:
        return OpenFile(kReadFlags, nullptr);
    case 6:
        return CONDUIT_OK;
    default:
        return CONDUIT_BAD_SYNC_TYPE;
    }
}

LONG CDesktopDb::Load()
{
    if (m_bLoaded)
        return CONDUIT_OK;
    switch (m_lSyncType) {
    case 0: case 1: case 3: case 4: case 7:
        if (!m_file.IsOpen())
            return m_lSyncType <= 1 ? LONG(CONDUIT_DESKTOP_MISSING) : LONG(CONDUIT_FILE_NOT_OPEN);
        m_bLoaded = 1;
        return ReadFile();
    default:
        m_bLoaded = 1;
        return CONDUIT_OK;
    }
}

LONG CDesktopDb::Close(int)
{
    m_file.Abort();
    return CONDUIT_OK;
}

LONG CDesktopDb::ReadFile()
{
    if (m_strPath.empty())
        return CONDUIT_NO_FILE_NAME;
    if (!m_file.IsOpen())
        return CONDUIT_FILE_NOT_OPEN;
    struct Closer {
        CFile& f;
        ~Closer() { f.Abort(); }
    } closer{m_file};
    CBufferedReader in(m_file);
    try {
        std::free(m_pHeader);
        m_pHeader = static_cast<BYTE*>(std::calloc(kFileHeaderSize, 1));
        if (!m_pHeader)
            return CONDUIT_NO_MEMORY;
        Put32(m_pHeader, kFileHeaderSize);
        UINT got = in.Read(m_pHeader, kFileHeaderSize);
        if (got == 0) {
            m_bChanged = 0;
            return CONDUIT_OK;
        }
        if (got != kFileHeaderSize)
            return CONDUIT_READ_HEADER_FAILED;
        // A block is read only when it can hold its own header and no more
        // than the format allows; anything else is a damaged file.
        auto readBlock = [&](DWORD size, BYTE*& block, LONG failure) -> LONG {
            std::free(block);
            block = nullptr;
            if (size == 0)
                return CONDUIT_OK;
            if (size < kBlockHeaderSize || size > kBlockHeaderSize + 0xFFFF)
                return failure;
            block = static_cast<BYTE*>(std::malloc(size));
            if (!block)
                return CONDUIT_NO_MEMORY;
            if (in.Read(block, size) != size)
                return failure;
            Put32(block, size);
            Put32(block + 8, kBlockHeaderSize);
            // Capacity and length in use never promise more than the block holds.
            if (Get32(block + 44) > size - kBlockHeaderSize)
                Put32(block + 44, size - kBlockHeaderSize);
            if (Get32(block + 48) > Get32(block + 44))
                Put32(block + 48, Get32(block + 44));
            return CONDUIT_OK;
        };
        if (LONG e = readBlock(Get32(m_pHeader + 76), m_pAppInfo, CONDUIT_READ_APPINFO_FAILED))
            return e;
        if (LONG e = readBlock(Get32(m_pHeader + 80), m_pSortInfo, CONDUIT_READ_SORTINFO_FAILED))
            return e;

        const LONG count = static_cast<LONG>(Get32(m_pHeader + 72));
        std::vector<BYTE> buffer(kFileBufferSize);
        CSyncRecord rec;
        for (LONG i = 0; i < count; ++i) {
            std::memset(buffer.data(), 0, kRecordHeaderSize);
            if (in.Read(buffer.data(), kRecordHeaderSize) != kRecordHeaderSize)
                return CONDUIT_READ_RECORD_FAILED;
            const DWORD size = Get32(&buffer[0]);
            const DWORD offset = Get32(&buffer[8]);
            if (size < kRecordHeaderSize || size > kFileBufferSize || offset < kRecordHeaderSize || offset > size)
                return CONDUIT_READ_RECORD_FAILED;
            const UINT want = size - kRecordHeaderSize;
            if (want) {
                UINT n = in.Read(&buffer[kRecordHeaderSize], want);
                if (n == 0)
                    return CONDUIT_FILE_EMPTY;
                if (n != want)
                    return CONDUIT_FILE_TOO_SHORT;
            }
            rec.Reset();
            rec.SetID(Get32(&buffer[16]));
            rec.SetCategory(Get32(&buffer[28]) & 0xFF);
            const DWORD attrs = Get16(&buffer[24]);
            rec.SetFlags(FlagsFromAttributes(attrs));
            rec.SetPrivate((attrs & AttrPrivate) != 0);
            if (LONG e = rec.SetData(&buffer[offset], size - offset))
                return e;
            if (m_lSyncType == 1)
                rec.SetUnvisited(1);
            if (LONG e = AddToArray(rec))
                return e;
        }
    } catch (const CFileException&) {
        return CONDUIT_FILE_READ_FAILED;
    }
    m_bChanged = 0;
    return CONDUIT_OK;
}

LONG CDesktopDb::Save()
{
    m_bFirstOpen = 0;
    ClearAllFlags();
    switch (m_lSyncType) {
    case 0: case 1: case 2: case 3: case 5: {
        LONG e = WriteFile();
        if (e && m_pLog)
            m_pLog->LogError(3364, e);
        return e;
    }
    default:
        return CONDUIT_OK;
    }
}

LONG CDesktopDb::WriteFile()
{
    if (!m_bChanged && (!m_pCategories || !m_pCategories->IsChanged()))
        return CONDUIT_OK;
    if (m_strPath.empty())
        return CONDUIT_NO_FILE_NAME;
    // Hold the file without sharing while its replacement is written.
    int missing = 0;
    if (OpenFile(kHoldFlags, &missing) && !missing)
        return CONDUIT_WRITE_FAILED;
    if (!m_pHeader) {
        m_file.Abort();
        return CONDUIT_OK;
    }
    const std::string temp = m_strPath + ".new";
    try {
        CFile out;
        if (!out.Open(temp.c_str(), CFile::modeWrite | CFile::modeCreate | CFile::shareExclusive | CFile::typeBinary))
            throw CFileException(CFileException::genericException);
        CBufferedWriter writer(out);
        Put32(m_pHeader, kFileHeaderSize);
        Put16(m_pHeader + 4, 1);
        Put32(m_pHeader + 72, static_cast<DWORD>(GetRecordCount()));
        Put32(m_pHeader + 76, m_pAppInfo ? Get32(m_pAppInfo) : 0);
        Put32(m_pHeader + 80, m_pSortInfo ? Get32(m_pSortInfo) : 0);
        writer.Write(m_pHeader, kFileHeaderSize);
        if (m_pAppInfo)
            writer.Write(m_pAppInfo, Get32(m_pAppInfo));
        if (m_pSortInfo)
            writer.Write(m_pSortInfo, Get32(m_pSortInfo));
        std::vector<BYTE> buffer(kFileBufferSize);
        for (int i = 0; i < m_nEnd; ++i) {
            const CSyncRecord* r = m_ppRecords[i];
            if (!r)
                continue;
            // A record too long for the buffer would leave the count wrong;
            // the file is not replaced at all then.
            if (r->GetDataLength() > kFileBufferSize - kRecordHeaderSize)
                throw CFileException(CFileException::genericException);
            std::memset(buffer.data(), 0, kRecordHeaderSize);
            const DWORD size = kRecordHeaderSize + r->GetDataLength();
            Put32(&buffer[0], size);
            Put32(&buffer[4], kFormatTag);
            Put32(&buffer[8], kRecordHeaderSize);
            Put32(&buffer[16], r->GetID());
            Put16(&buffer[24], AttributesOf(*r));
            Put32(&buffer[28], r->GetCategory());
            Put32(&buffer[36], r->GetDataLength());
            if (r->GetDataLength())
                std::memcpy(&buffer[kRecordHeaderSize], r->GetData(), r->GetDataLength());
            writer.Write(buffer.data(), size);
        }
        writer.Flush();
        out.Flush();
        out.Close();
    } catch (const CFileException&) {
        CFile::Remove(temp.c_str());
        m_file.Abort();
        return CONDUIT_WRITE_FAILED;
    }
    m_file.Abort();
    if (!CFile::ReplaceWith(temp.c_str(), m_strPath.c_str())) {
        CFile::Remove(temp.c_str());
        return CONDUIT_WRITE_FAILED;
    }
    m_bChanged = 0;
    if (m_pCategories)
        m_pCategories->SetChanged(0);
    return CONDUIT_OK;
}

LONG CDesktopDb::EnsureHeader()
{
    if (m_pHeader)
        return CONDUIT_OK;
    m_pHeader = static_cast<BYTE*>(std::calloc(kFileHeaderSize, 1));
    if (!m_pHeader)
        return CONDUIT_NO_MEMORY;
    Put32(m_pHeader, kFileHeaderSize);
    Put16(m_pHeader + 4, 1);
    return CONDUIT_OK;
}

LONG CDesktopDb::SetHeaderFrom(const SyncDbDescriptor& d)
{
    std::free(m_pHeader);
    m_pHeader = nullptr;
    if (LONG e = EnsureHeader())
        return e;
    char name[32];
    CopyName(name, d.name, sizeof name);
    std::memcpy(m_pHeader + 6, name, 32);
    Put32(m_pHeader + 40, d.version);
    Put32(m_pHeader + 44, d.creator);
    Put32(m_pHeader + 48, d.dbType);
    Put16(m_pHeader + 52, d.dbFlags);
    Put32(m_pHeader + 56, d.modDate);
    Put32(m_pHeader + 60, d.modNumber);
    Put32(m_pHeader + 64, d.createDate);
    Put32(m_pHeader + 68, d.backupDate);
    MarkChanged();
    return CONDUIT_OK;
}

const BYTE* CDesktopDb::GetAppInfoData() const { return m_pAppInfo ? m_pAppInfo + kBlockHeaderSize : nullptr; }
DWORD CDesktopDb::GetAppInfoLength() const { return m_pAppInfo ? Get32(m_pAppInfo + 48) : 0; }
const BYTE* CDesktopDb::GetSortInfoData() const { return m_pSortInfo ? m_pSortInfo + kBlockHeaderSize : nullptr; }
DWORD CDesktopDb::GetSortInfoLength() const { return m_pSortInfo ? Get32(m_pSortInfo + 48) : 0; }

LONG CDesktopDb::SetBlock(BYTE*& pBlock, const char* pszName, const BYTE* pData, DWORD dwLength, DWORD dwReserved)
{
    BYTE* b = static_cast<BYTE*>(std::calloc(kBlockHeaderSize + dwLength, 1));
    if (!b)
        return CONDUIT_NO_MEMORY;
    Put32(b, kBlockHeaderSize + dwLength);
    Put16(b + 4, kFormatTag);
    Put32(b + 8, kBlockHeaderSize);
    CopyName(reinterpret_cast<char*>(b + 12), pszName, 32);
    Put32(b + 44, dwLength);
    Put32(b + 48, dwLength);
    Put32(b + 52, dwReserved);
    if (dwLength)
        std::memcpy(b + kBlockHeaderSize, pData, dwLength);
    std::free(pBlock);
    pBlock = b;
    MarkChanged();
    return CONDUIT_OK;
}

LONG CDesktopDb::SetAppInfo(const char* pszName, const BYTE* pData, DWORD dwLength, DWORD dwReserved)
{
    return SetBlock(m_pAppInfo, pszName, pData, dwLength, dwReserved);
}

LONG CDesktopDb::SetSortInfo(const char* pszName, const BYTE* pData, DWORD dwLength, DWORD dwReserved)
{
    return SetBlock(m_pSortInfo, pszName, pData, dwLength, dwReserved);
}

LONG CDesktopDb::LoadCategories()
{
    if (!HasCategories())
        return CONDUIT_OK;
    if (!m_pAppInfo || GetAppInfoLength() == 0)
        return CONDUIT_NO_APPINFO;
    std::unique_ptr<CCategoryList> list(new CCategoryList);
    if (LONG e = list->Extract(GetAppInfoData(), GetAppInfoLength()))
        return e;
    SetCategoryList(list.release());
    return CONDUIT_OK;
}

LONG CDesktopDb::SaveCategories()
{
    if (!m_pCategories || !m_pCategories->IsChanged())
        return CONDUIT_OK;
    if (!m_pAppInfo || Get32(m_pAppInfo + 44) < kCategoryPartSize) {
        // Room for the category part, keeping whatever followed it.
        DWORD used = GetAppInfoLength();
        std::vector<BYTE> data(used > kCategoryPartSize ? used : kCategoryPartSize);
        if (used)
            std::memcpy(data.data(), GetAppInfoData(), used);
        DWORD reserved = m_pAppInfo ? Get32(m_pAppInfo + 52) : 0;
        if (LONG e = SetBlock(m_pAppInfo, m_szDbName, data.data(), static_cast<DWORD>(data.size()), reserved))
            return e;
        Put32(m_pAppInfo + 48, used);
    }
    DWORD length = kCategoryPartSize;
    if (LONG e = m_pCategories->Compact(m_pAppInfo + kBlockHeaderSize, &length))
        return e;
    if (GetAppInfoLength() < kCategoryPartSize)
        Put32(m_pAppInfo + 48, kCategoryPartSize);
    MarkChanged();
    return CONDUIT_OK;
}

LONG CDesktopDb::SetExtra(DWORD dwLength, const BYTE* pBytes)
{
    if (dwLength && !pBytes)
        return CONDUIT_NULL_ARGUMENT;
    const DWORD offset = ExtraOffset();
    if (offset + dwLength > 0xFFFF)
        return CONDUIT_TOO_LONG;
    std::vector<BYTE> data(offset + dwLength, 0);
    DWORD keep = GetAppInfoLength() < offset ? GetAppInfoLength() : offset;
    if (keep)
        std::memcpy(data.data(), GetAppInfoData(), keep);
    if (dwLength)
        std::memcpy(data.data() + offset, pBytes, dwLength);
    DWORD reserved = m_pAppInfo ? Get32(m_pAppInfo + 52) : 0;
    char name[32];
    CopyName(name, m_pAppInfo ? reinterpret_cast<const char*>(m_pAppInfo + 12) : m_szDbName, sizeof name);
    return SetBlock(m_pAppInfo, name, data.data(), static_cast<DWORD>(data.size()), reserved);
}

LONG CDesktopDb::AddRecord(CSyncRecord& rec)
{
    LONG position = -1;
    if (LONG e = AddToArray(rec, &position))
        return e;
    rec.SetPosition(position);
    MarkChanged();
    return CONDUIT_OK;
}

LONG CDesktopDb::DeleteRecord(CSyncRecord& rec)
{
    LONG position = rec.GetID() == 0 ? rec.GetPosition() : FindPositionById(rec.GetID());
    if (position < 0 || !GetAt(position))
        return CONDUIT_RECORD_NOT_FOUND;
    RemoveAt(position);
    MarkChanged();
    return CONDUIT_OK;
}

LONG CDesktopDb::ReplaceAtPosition(CSyncRecord& rec)
{
    LONG position = rec.GetPosition();
    if (position < 0 || !GetAt(position))
        return CONDUIT_RECORD_NOT_FOUND;
    CSyncRecord copy(rec);
    copy.ResetStatus();
    if (LONG e = SetAt(position, copy))
        return e;
    MarkChanged();
    return CONDUIT_OK;
}

LONG CDesktopDb::UpdateById(const CSyncRecord& rec)
{
    LONG position = FindPositionById(rec.GetID());
    if (position < 0)
        return CONDUIT_RECORD_NOT_FOUND;
    CSyncRecord copy(rec);
    copy.ResetStatus();
    if (LONG e = SetAt(position, copy))
        return e;
    MarkChanged();
    return CONDUIT_OK;
}

LONG CDesktopDb::ReadById(DWORD id, CSyncRecord& rec)
{
    CSyncRecord* p = FindById(id);
    if (!p)
        return CONDUIT_NO_MORE;
    p->SetUnvisited(0);
    rec = *p;
    return CONDUIT_OK;
}

LONG CDesktopDb::ChangeCategory(DWORD dwFrom, DWORD dwTo)
{
    if (dwFrom > 15 || dwTo > 15)
        return CONDUIT_CATEGORY_INDEX_TOO_HIGH;
    for (int i = 0; i < m_nEnd; ++i) {
        CSyncRecord* p = m_ppRecords[i];
        if (p && p->GetCategory() == dwFrom) {
            p->SetCategory(dwTo);
            p->SetModified(1);
            MarkChanged();
        }
    }
    return CONDUIT_OK;
}

LONG CDesktopDb::MoveOrRemoveCategory(DWORD dwCategory, int bRemove)
{
    if (dwCategory > 15)
        return CONDUIT_CATEGORY_INDEX_TOO_HIGH;
    if (!bRemove)
        return ChangeCategory(dwCategory, 0);
    for (int i = 0; i < m_nEnd; ++i)
        if (m_ppRecords[i] && m_ppRecords[i]->GetCategory() == dwCategory)
            RemoveAt(i);
    MarkChanged();
    return CONDUIT_OK;
}

LONG CDesktopDb::PurgeDeleted()
{
    for (int i = 0; i < m_nEnd; ++i) {
        if (m_ppRecords[i] && m_ppRecords[i]->IsDeleted()) {
            RemoveAt(i);
            MarkChanged();
        }
    }
    return CONDUIT_OK;
}

LONG CDesktopDb::ApplyCategoryMap(const LONG* pMap)
{
    for (int i = 0; i < m_nEnd; ++i) {
        CSyncRecord* p = m_ppRecords[i];
        if (!p || p->GetCategory() > 15)
            continue;
        LONG to = pMap[p->GetCategory()];
        if (to >= 0) {
            p->SetCategory(static_cast<DWORD>(to));
            p->SetModified(1);
            MarkChanged();
        }
    }
    return CONDUIT_OK;
}

void CDesktopDb::ClearAllFlags()
{
    for (int i = 0; i < m_nEnd; ++i) {
        CSyncRecord* p = m_ppRecords[i];
        if (!p)
            continue;
        if (p->GetFlags())
            MarkChanged();
        p->ResetStatus();
    }
}

// --- Archives ---

CArchiveDb::CArchiveDb(const char* pszDbName, const char* pszFolder, const char* pszFile, DWORD dwCaps,
                       LONG lSyncType, CSyncLog* pLog)
    : CDesktopDb(pszDbName, pszFolder, pszFile, dwCaps, lSyncType, pLog)
{
    if (!m_strPath.empty())
        m_strPath = ReplaceExtension(m_strPath, ".ARC");
}

LONG CArchiveDb::Open()
{
    if (!m_bFirstOpen || m_bLoaded)
        return CONDUIT_OK;
    int missing = 0;
    LONG e = OpenFile(kReadFlags, &missing);
    if (e)
        return missing ? LONG(CONDUIT_OK) : e;
    m_bLoaded = 1;
    return ReadFile();
}

LONG CArchiveDb::SaveArchive()
{
    m_bFirstOpen = 0;
    ClearAllFlags();
    return WriteFile();
}

// --- Backup ---

CBackupDb::CBackupDb(const char* pszDbName, const char* pszFolder, const char* pszFile, DWORD dwCaps, LONG lSyncType,
                     CSyncLog* pLog)
    : CDesktopDb(pszDbName, pszFolder, pszFile, dwCaps, lSyncType, pLog), m_strDataPath(m_strPath)
{
    if (!m_strPath.empty())
        m_strPath = ReplaceExtension(m_strPath, ".BAK");
}

LONG CBackupDb::Open()
{
    if (m_lSyncType != 1 || m_bLoaded)
        return CONDUIT_OK;
    int missing = 0;
    LONG e = OpenFile(kReadFlags, &missing);
    if (e)
        return missing ? LONG(CONDUIT_OK) : e;
    m_bLoaded = 1;
    // The backup is a hint, not data: a damaged one counts as empty.
    if (ReadFile() != CONDUIT_OK)
        RemoveAllRecords();
    return CONDUIT_OK;
}

LONG CBackupDb::Finish()
{
    m_file.Abort();
    if (m_strPath.empty() || m_strDataPath.empty())
        return CONDUIT_BACKUP_COPY_FAILED;
    const std::string temp = m_strPath + ".new";
    try {
        CFile in;
        if (!in.Open(m_strDataPath.c_str(), kReadFlags))
            return CONDUIT_BACKUP_COPY_FAILED;
        CFile out;
        if (!out.Open(temp.c_str(), CFile::modeWrite | CFile::modeCreate | CFile::shareExclusive | CFile::typeBinary))
            return CONDUIT_BACKUP_COPY_FAILED;
        std::vector<BYTE> buffer(kFileBufferSize);
        for (;;) {
            UINT n = in.Read(buffer.data(), static_cast<UINT>(buffer.size()));
            if (n == 0)
                break;
            out.Write(buffer.data(), n);
        }
        out.Close();
    } catch (const CFileException&) {
        CFile::Remove(temp.c_str());
        return CONDUIT_BACKUP_COPY_FAILED;
    }
    if (!CFile::ReplaceWith(temp.c_str(), m_strPath.c_str())) {
        CFile::Remove(temp.c_str());
        return CONDUIT_BACKUP_COPY_FAILED;
    }
    return CONDUIT_OK;
}
