#include "HandheldDb.h"

#include "SyncLog.h"

#include <cstdlib>
#include <cstring>

CHandheldDb::CHandheldDb(LONG lSyncType, DWORD dwCaps, CSyncLog* pLog)
    : CDbManager(lSyncType, dwCaps, pLog), m_dwCreator(0), m_dwType(0), m_wFlags(0), m_wVersion(0), m_byCard(0),
      m_hDb(0), m_dwHandheldCount(0), m_pRawBuffer(nullptr), m_pAppInfo(nullptr), m_dwAppInfoCapacity(0),
      m_dwAppInfoUsed(0), m_bAppInfoRead(0), m_bExtraChanged(0), m_dwNextIndex(0)
{
    m_szName[0] = '\0';
    std::memset(&m_raw, 0, sizeof m_raw);
}

CHandheldDb::~CHandheldDb()
{
    if (m_hDb)
        Close(0);
    std::free(m_pRawBuffer);
    std::free(m_pAppInfo);
}

LONG CHandheldDb::SetName(const char* pszName)
{
    if (m_hDb)
        return CONDUIT_ALREADY_OPEN;
    if (!pszName)
        return CONDUIT_NULL_ARGUMENT;
    if (std::strlen(pszName) > 31)
        return CONDUIT_TOO_LONG;
    std::strcpy(m_szName, pszName);
    return CONDUIT_OK;
}

#define IDENTITY_SETTER(fn, type, member)  \
    LONG CHandheldDb::fn(type value)       \
    {                                      \
        if (m_hDb)                         \
            return CONDUIT_ALREADY_OPEN;   \
        member = value;                    \
        return CONDUIT_OK;                 \
    }
IDENTITY_SETTER(SetCreator, DWORD, m_dwCreator)
IDENTITY_SETTER(SetType, DWORD, m_dwType)
IDENTITY_SETTER(SetFlags, WORD, m_wFlags)
IDENTITY_SETTER(SetVersion, WORD, m_wVersion)
IDENTITY_SETTER(SetCardNo, BYTE, m_byCard)
#undef IDENTITY_SETTER

LONG CHandheldDb::Open()
{
    if (m_hDb)
        return CONDUIT_ALREADY_OPEN;
    m_dwNextIndex = 0;
    switch (m_lSyncType) {
    case 0: case 1: case 2: case 5: {
        SyncErr e = SyncOpenDB(m_szName, m_byCard, &m_hDb, SYNC_MODE_READ_WRITE);
        if (e) {
            m_hDb = 0;
            return e == SYNC_NOT_FOUND ? LONG(CONDUIT_HANDHELD_MISSING) : e;
        }
        return CONDUIT_OK;
    }
    case 6:
        return CONDUIT_OK;
    case 3: case 4: case 7: {
        // The database is made anew; that there was none to delete is no failure.
        SyncDeleteDB(m_szName, m_byCard);
        SyncCreateDbRequest req;
        std::memset(&req, 0, sizeof req);
        req.creator = m_dwCreator;
        req.dbFlags = m_wFlags;
        req.cardNo = m_byCard;
        std::memcpy(req.name, m_szName, std::strlen(m_szName));
        req.dbType = m_dwType;
        req.version = m_wVersion;
        SyncErr e = SyncCreateDB(&req);
        if (e) {
            if (m_pLog)
                m_pLog->LogCreateFailure(m_szName, m_dwCreator, m_dwType, m_wFlags, m_wVersion, e);
            return e;
        }
        m_hDb = req.dbHandle;
        return CONDUIT_OK;
    }
    default:
        return CONDUIT_BAD_SYNC_TYPE;
    }
}

LONG CHandheldDb::Close(int bReset)
{
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    LONG reset = CONDUIT_OK;
    if (bReset) {
        reset = SyncResetSyncFlags(m_hDb);
        if (reset && m_pLog)
            m_pLog->LogError(MSG_RESET_FLAGS_FAILED, reset);
    }
    LONG close = SyncCloseDB(m_hDb);
    if (close && m_pLog)
        m_pLog->LogError(MSG_CLOSE_FAILED, close);
    m_hDb = 0;
    return reset ? reset : close;
}

LONG CHandheldDb::GetHandheldRecordCount(DWORD* pdwCount)
{
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    uint16_t count = 0;
    if (SyncErr e = SyncGetDBRecordCount(m_hDb, &count))
        return e;
    m_dwHandheldCount = count;
    if (pdwCount)
        *pdwCount = count;
    return CONDUIT_OK;
}

LONG CHandheldDb::PrepareRaw(CSyncRecord& rec)
{
    (void)rec;
    if (!m_pRawBuffer) {
        m_pRawBuffer = static_cast<BYTE*>(std::malloc(kRawBufferSize));
        if (!m_pRawBuffer)
            return CONDUIT_NO_MEMORY;
    }
    std::memset(&m_raw, 0, sizeof m_raw);
    m_raw.dbHandle = m_hDb;
    m_raw.pData = m_pRawBuffer;
    m_raw.bufferSize = static_cast<uint16_t>(kRawBufferSize);
    return CONDUIT_OK;
}

// Runs a read call on the work area, prepared from rec's ID, index and
// category, and turns the answer into rec.
LONG CHandheldDb::ReadInto(LONG (*read)(SyncRawRecord*), CSyncRecord& rec)
{
    if (LONG e = PrepareRaw(rec))
        return e;
    m_raw.recordId = rec.GetID();
    m_raw.recordIndex = static_cast<uint16_t>(rec.GetPosition());
    m_raw.category = static_cast<int16_t>(rec.GetCategory());
    if (LONG e = read(&m_raw))
        return e;
    return rec.FromRaw(m_raw);
}

LONG CHandheldDb::Load()
{
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    if (m_lSyncType != 0 && m_lSyncType != 1 && m_lSyncType != 2 && m_lSyncType != 5)
        return CONDUIT_OK;
    DWORD count = 0;
    if (LONG e = GetHandheldRecordCount(&count))
        return e;
    if (LONG e = Grow(static_cast<int>(count * 2)))
        return e;
    CSyncRecord rec;
    for (DWORD i = 0;; ++i) {
        if (m_lSyncType != 0 && i >= count)
            break;
        rec.Reset();
        rec.SetPosition(static_cast<LONG>(i));
        LONG e = m_lSyncType == 0 ? ReadInto([](SyncRawRecord* r) -> LONG { return SyncReadNextModifiedRec(r); }, rec)
                                  : ReadInto([](SyncRawRecord* r) -> LONG { return SyncReadRecordByIndex(r); }, rec);
        if (e == SYNC_NOT_FOUND)
            break;
        if (e) {
            if (m_pLog)
                m_pLog->LogRecord(MSG_HH_READ_FAILED, rec, e);
            return e;
        }
        if (LONG s = SetAt(rec.GetPosition(), rec))
            return s;
    }
    return CONDUIT_OK;
}

LONG CHandheldDb::ReadById(DWORD id, CSyncRecord& rec, int bLog)
{
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    rec.Reset();
    rec.SetID(id);
    LONG e = ReadInto([](SyncRawRecord* r) -> LONG { return SyncReadRecordById(r); }, rec);
    if (e) {
        rec.Reset();
        rec.SetID(id);
        if (bLog && m_pLog)
            m_pLog->LogRecord(MSG_HH_READ_FAILED, rec, e);
    }
    return e;
}

LONG CHandheldDb::Next(CSyncRecord& rec)
{
    if (m_lSyncType != 0 || (m_eIterMode != IterAll && m_eIterMode != IterCategory))
        return NextFromMemory(rec);
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    if (m_eIterMode == IterCategory) {
        rec.Reset();
        rec.SetCategory(m_dwIterCategory);
        LONG e = ReadInto([](SyncRawRecord* r) -> LONG { return SyncReadNextRecInCategory(r); }, rec);
        return e == SYNC_NOT_FOUND ? CONDUIT_NO_MORE : e;
    }
    // The fast sync holds only the modified records; the rest come from the
    // handheld, and a copy of each is kept.
    if (m_nIterPos == 0)
        m_dwNextIndex = 0;
    rec.Reset();
    rec.SetPosition(static_cast<LONG>(m_dwNextIndex));
    LONG e = ReadInto([](SyncRawRecord* r) -> LONG { return SyncReadRecordByIndex(r); }, rec);
    if (e)
        return e == SYNC_NOT_FOUND ? CONDUIT_NO_MORE : e;
    ++m_dwNextIndex;
    m_nIterPos = 1;
    return SetAt(rec.GetPosition(), rec);
}

LONG CHandheldDb::Write(CSyncRecord& rec)
{
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    if (LONG e = PrepareRaw(rec))
        return e;
    rec.SetHandle(m_hDb);
    if (LONG e = rec.ToRaw(m_raw))
        return e;
    m_raw.dbHandle = m_hDb;
    LONG e = IsRecordDb() ? SyncWriteRec(&m_raw) : SyncWriteResourceRec(&m_raw);
    if (e)
        return e;
    rec.SetID(m_raw.recordId);
    rec.SetPosition(m_raw.recordIndex);
    return CONDUIT_OK;
}

LONG CHandheldDb::AddRecord(CSyncRecord& rec)
{
    rec.ResetStatus();
    return Write(rec);
}

LONG CHandheldDb::WriteRecord(CSyncRecord& rec) { return Write(rec); }

LONG CHandheldDb::ReplaceAtPosition(CSyncRecord& rec)
{
    LONG position = rec.GetPosition();
    if (position == -1)
        return CONDUIT_RECORD_NOT_FOUND;
    if (LONG e = Write(rec))
        return e;
    // The in-memory copy stays at the position the caller chose.
    rec.SetPosition(position);
    return SetAt(position, rec);
}

LONG CHandheldDb::DeleteRecord(CSyncRecord& rec)
{
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    if (LONG e = PrepareRaw(rec))
        return e;
    m_raw.recordId = rec.GetID();
    if (IsRecordDb())
        return SyncDeleteRec(&m_raw);
    return SyncDeleteResourceRec(&m_raw);
}

LONG CHandheldDb::PurgeDeleted()
{
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    LONG e = SyncPurgeDeletedRecs(m_hDb);
    if (e && m_pLog)
        m_pLog->LogError(MSG_PURGE_FAILED, e);
    return e;
}

LONG CHandheldDb::ChangeCategory(DWORD dwFrom, DWORD dwTo)
{
    if (dwFrom > 15 || dwTo > 15)
        return CONDUIT_CATEGORY_INDEX_TOO_HIGH;
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    return SyncChangeCategory(m_hDb, static_cast<uint8_t>(dwFrom), static_cast<uint8_t>(dwTo));
}

LONG CHandheldDb::MoveOrRemoveCategory(DWORD dwCategory, int bRemove)
{
    if (dwCategory > 15)
        return CONDUIT_CATEGORY_INDEX_TOO_HIGH;
    if (!bRemove)
        return ChangeCategory(dwCategory, 0);
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    return SyncPurgeAllRecsInCategory(m_hDb, static_cast<int16_t>(dwCategory));
}

LONG CHandheldDb::EnsureAppInfoBuffer()
{
    if (m_pAppInfo)
        return CONDUIT_OK;
    m_pAppInfo = static_cast<BYTE*>(std::calloc(kAppInfoBufferSize, 1));
    if (!m_pAppInfo)
        return CONDUIT_NO_MEMORY;
    m_dwAppInfoCapacity = kAppInfoBufferSize;
    return CONDUIT_OK;
}

LONG CHandheldDb::ReadAppInfo()
{
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    if (LONG e = EnsureAppInfoBuffer())
        return e;
    std::memset(m_pAppInfo, 0, m_dwAppInfoCapacity);
    m_dwAppInfoUsed = 0;
    SyncBlockDesc desc;
    std::memset(&desc, 0, sizeof desc);
    std::memcpy(desc.dbName, m_szName, std::strlen(m_szName));
    desc.bufferSize = static_cast<uint16_t>(m_dwAppInfoCapacity);
    desc.pBuffer = m_pAppInfo;
    SyncErr e = SyncReadDBAppInfoBlock(m_hDb, &desc);
    if (e)
        return e;
    m_dwAppInfoUsed = desc.bytesUsed <= m_dwAppInfoCapacity ? desc.bytesUsed : m_dwAppInfoCapacity;
    m_bAppInfoRead = 1;
    m_bExtraChanged = 0;
    return CONDUIT_OK;
}

LONG CHandheldDb::WriteAppInfo()
{
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    if (LONG e = EnsureAppInfoBuffer())
        return e;
    SyncBlockDesc desc;
    std::memset(&desc, 0, sizeof desc);
    std::memcpy(desc.dbName, m_szName, std::strlen(m_szName));
    desc.bufferSize = static_cast<uint16_t>(m_dwAppInfoCapacity);
    desc.bytesUsed = static_cast<uint16_t>(m_dwAppInfoUsed);
    desc.pBuffer = m_pAppInfo;
    return SyncWriteDBAppInfoBlock(m_hDb, &desc);
}

LONG CHandheldDb::SetAppInfo(const BYTE* pData, DWORD dwLength)
{
    if (dwLength && !pData)
        return CONDUIT_NULL_ARGUMENT;
    if (LONG e = EnsureAppInfoBuffer())
        return e;
    if (dwLength > m_dwAppInfoCapacity)
        return CONDUIT_TOO_LONG;
    std::memset(m_pAppInfo, 0, m_dwAppInfoCapacity);
    if (dwLength)
        std::memcpy(m_pAppInfo, pData, dwLength);
    m_dwAppInfoUsed = dwLength;
    m_bAppInfoRead = 1;
    return CONDUIT_OK;
}

LONG CHandheldDb::ReadSortInfo(BYTE* pBuffer, DWORD dwCapacity, DWORD* pdwLength)
{
    if (!pdwLength)
        return CONDUIT_NULL_ARGUMENT;
    *pdwLength = 0;
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    SyncBlockDesc desc;
    std::memset(&desc, 0, sizeof desc);
    std::memcpy(desc.dbName, m_szName, std::strlen(m_szName));
    desc.bufferSize = static_cast<uint16_t>(dwCapacity > 0xFFFF ? 0xFFFF : dwCapacity);
    desc.pBuffer = pBuffer;
    if (SyncErr e = SyncReadDBSortInfoBlock(m_hDb, &desc))
        return e;
    *pdwLength = desc.bytesUsed;
    return CONDUIT_OK;
}

LONG CHandheldDb::LoadCategories()
{
    if (!HasCategories())
        return CONDUIT_NO_CATEGORIES;
    if (!m_bAppInfoRead) {
        LONG e = ReadAppInfo();
        if (e == SYNC_NOT_FOUND)
            return CONDUIT_NO_APPINFO;
        if (e)
            return e;
    }
    if (m_dwAppInfoUsed == 0)
        return CONDUIT_NO_APPINFO;
    CCategoryList* list = new CCategoryList;
    LONG e = list->Extract(m_pAppInfo, m_dwAppInfoUsed);
    if (e == CONDUIT_APPINFO_TOO_SHORT) {
        delete list;
        return e;
    }
    SetCategoryList(list);
    return e;
}

LONG CHandheldDb::SaveCategories()
{
    if (!m_pCategories || !m_pCategories->IsChanged())
        return CONDUIT_OK;
    if (LONG e = EnsureAppInfoBuffer())
        return e;
    DWORD length = m_dwAppInfoCapacity;
    if (LONG e = m_pCategories->Compact(m_pAppInfo, &length))
        return e;
    if (m_dwAppInfoUsed < length)
        m_dwAppInfoUsed = length;
    return CONDUIT_OK;
}

LONG CHandheldDb::SaveAppInfo()
{
    const bool categories = HasCategories() && m_pCategories && m_pCategories->IsChanged();
    if (!(HasAppInfo() && m_bExtraChanged) && !categories)
        return CONDUIT_OK;
    if (HasCategories() && m_pCategories) {
        if (LONG e = EnsureAppInfoBuffer())
            return e;
        DWORD length = m_dwAppInfoCapacity;
        if (LONG e = m_pCategories->Compact(m_pAppInfo, &length))
            return e;
        if (m_dwAppInfoUsed < length)
            m_dwAppInfoUsed = length;
    }
    LONG e = WriteAppInfo();
    if (e == CONDUIT_OK)
        m_bExtraChanged = 0;
    return e;
}

LONG CHandheldDb::SetExtra(DWORD dwLength, const BYTE* pBytes)
{
    if (dwLength && !pBytes)
        return CONDUIT_NULL_ARGUMENT;
    if (LONG e = EnsureAppInfoBuffer())
        return e;
    const DWORD offset = ExtraOffset();
    if (dwLength > m_dwAppInfoCapacity - offset)
        return CONDUIT_TOO_LONG;
    if (dwLength)
        std::memmove(m_pAppInfo + offset, pBytes, dwLength);
    std::memset(m_pAppInfo + offset + dwLength, 0, m_dwAppInfoCapacity - offset - dwLength);
    m_dwAppInfoUsed = offset + dwLength;
    m_bExtraChanged = 1;
    return CONDUIT_OK;
}

LONG CHandheldDb::ReadRecordIdList(DWORD* pIds, DWORD* pdwCount)
{
    if (!pdwCount)
        return CONDUIT_NULL_ARGUMENT;
    if (!m_hDb)
        return CONDUIT_NOT_OPEN;
    DWORD count = 0;
    if (LONG e = GetHandheldRecordCount(&count))
        return e;
    if (*pdwCount < count || (!pIds && count)) {
        *pdwCount = count;
        return CONDUIT_BUFFER_TOO_SMALL;
    }
    DWORD got = 0;
    while (got < count) {
        SyncPositionMap map;
        std::memset(&map, 0, sizeof map);
        map.dbHandle = m_hDb;
        map.firstIndex = static_cast<uint16_t>(got);
        map.maxEntries = static_cast<uint16_t>(count - got > 0xFFFF ? 0xFFFF : count - got);
        map.pIds = reinterpret_cast<uint32_t*>(pIds + got);
        if (SyncErr e = SyncReadPositionXMap(&map))
            return e;
        if (map.numEntries == 0)
            break;
        got += map.numEntries;
    }
    for (DWORD i = 0; i < got; ++i) {
        const BYTE* b = reinterpret_cast<const BYTE*>(pIds + i);
        pIds[i] = (DWORD(b[0]) << 24) | (DWORD(b[1]) << 16) | (DWORD(b[2]) << 8) | b[3];
    }
    *pdwCount = got;
    return CONDUIT_OK;
}
