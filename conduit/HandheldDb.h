// One handheld database reached through the Sync Manager.
#pragma once

#include "DbManager.h"

enum : DWORD { kRawBufferSize = 65520, kAppInfoBufferSize = 65520 };

class CHandheldDb : public CDbManager {
public:
    CHandheldDb(LONG lSyncType, DWORD dwCaps, CSyncLog* pLog);
    // Closes an open database without resetting its sync flags.
    ~CHandheldDb() override;

    // Identity; fixed once the database is open (CONDUIT_ALREADY_OPEN).
    LONG SetName(const char* pszName);
    LONG SetCreator(DWORD dwCreator);
    LONG SetType(DWORD dwType);
    LONG SetFlags(WORD wFlags);
    LONG SetVersion(WORD wVersion);
    LONG SetCardNo(BYTE byCard);
    const char* GetName() const { return m_szName; }
    DWORD GetCreator() const { return m_dwCreator; }
    DWORD GetType() const { return m_dwType; }
    WORD GetDbFlags() const { return m_wFlags; }
    int IsRecordDb() const { return (m_wFlags & SYNC_DB_RESOURCE) == 0; }
    SyncDbHandle GetHandle() const { return m_hDb; }
    int IsOpen() const { return m_hDb != 0; }

    // Opens (or, for the overwriting sync types, deletes and creates) the database.
    LONG Open() override;
    // Resets the sync flags unless told not to, then closes.
    LONG Close(int bReset) override;
    LONG GetHandheldRecordCount(DWORD* pdwCount);
    DWORD GetHandheldCount() const { return m_dwHandheldCount; }
    // Reads into memory what the sync type needs.
    LONG Load() override;

    // On failure the record is reset and keeps the asked ID.
    LONG ReadById(DWORD id, CSyncRecord& rec, int bLog);
    // In the fast sync the handheld is read directly; otherwise memory serves.
    LONG Next(CSyncRecord& rec) override;

    LONG AddRecord(CSyncRecord& rec) override;
    LONG WriteRecord(CSyncRecord& rec) override;
    LONG ReplaceAtPosition(CSyncRecord& rec) override;
    LONG DeleteRecord(CSyncRecord& rec) override;
    LONG PurgeDeleted() override;
    LONG ChangeCategory(DWORD dwFrom, DWORD dwTo);
    // Moves the category's records to 0, or removes them.
    LONG MoveOrRemoveCategory(DWORD dwCategory, int bRemove);

    // The application-info block, held in a 65,520-byte buffer.
    LONG ReadAppInfo();
    LONG WriteAppInfo();
    // Replaces the whole block held (written by WriteAppInfo).
    LONG SetAppInfo(const BYTE* pData, DWORD dwLength);
    const BYTE* GetAppInfo() const { return m_pAppInfo; }
    DWORD GetAppInfoLength() const { return m_dwAppInfoUsed; }
    LONG ReadSortInfo(BYTE* pBuffer, DWORD dwCapacity, DWORD* pdwLength);

    LONG LoadCategories() override;
    LONG SaveCategories() override;
    LONG SaveAppInfo() override;

    // The bytes after the category part (all of them without categories).
    int HasExtra() const { return m_dwAppInfoUsed > ExtraOffset(); }
    DWORD GetExtraLength() const { return HasExtra() ? m_dwAppInfoUsed - ExtraOffset() : 0; }
    const BYTE* GetExtra() const { return HasExtra() ? m_pAppInfo + ExtraOffset() : nullptr; }
    LONG SetExtra(DWORD dwLength, const BYTE* pBytes);
    int IsExtraChanged() const { return m_bExtraChanged; }

    // The record IDs in position order; *pdwCount in: room, out: IDs
    // (or the number needed, with CONDUIT_BUFFER_TOO_SMALL).
    LONG ReadRecordIdList(DWORD* pIds, DWORD* pdwCount);

private:
    DWORD ExtraOffset() const { return HasCategories() ? DWORD(kCategoryPartSize) : 0; }
    LONG PrepareRaw(CSyncRecord& rec);
    LONG Write(CSyncRecord& rec);
    LONG EnsureAppInfoBuffer();
    LONG ReadInto(LONG (*read)(SyncRawRecord*), CSyncRecord& rec);

    char m_szName[32];
    DWORD m_dwCreator;
    DWORD m_dwType;
    WORD m_wFlags;
    WORD m_wVersion;
    BYTE m_byCard;
    SyncDbHandle m_hDb;
    DWORD m_dwHandheldCount;
    SyncRawRecord m_raw;
    BYTE* m_pRawBuffer;
    BYTE* m_pAppInfo;
    DWORD m_dwAppInfoCapacity;
    DWORD m_dwAppInfoUsed;
    int m_bAppInfoRead;
    int m_bExtraChanged;
    DWORD m_dwNextIndex;   // fast sync: the next handheld index to read
};
