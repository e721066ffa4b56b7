// The common base of the conduit's database managers: the sync type, the
// capabilities, the records held in memory by position (with a lookup by
// record ID), iteration over them, and the category list.
#pragma once

#include "PCategory.h"
#include "SyncRecord.h"

#include <unordered_map>

class CSyncLog;

class CDbManager {
public:
    // Capability flags.
    enum : DWORD { CapCategories = 0x1, CapAppInfo = 0x2 };
    enum : int { GrowBy = 2000 };

    CDbManager(LONG lSyncType, DWORD dwCaps, CSyncLog* pLog);
    virtual ~CDbManager();
    CDbManager(const CDbManager&) = delete;
    CDbManager& operator=(const CDbManager&) = delete;

    LONG GetSyncType() const { return m_lSyncType; }
    DWORD GetCaps() const { return m_dwCaps; }
    // Categories count only together with the app-info block.
    int HasCategories() const { return (m_dwCaps & (CapCategories | CapAppInfo)) == (CapCategories | CapAppInfo); }
    int HasAppInfo() const { return (m_dwCaps & CapAppInfo) != 0; }
    CSyncLog* GetLog() const { return m_pLog; }
    CCategoryList* GetCategoryList() const { return m_pCategories; }
    // Takes ownership of the list (null drops the held one).
    void SetCategoryList(CCategoryList* pList);

    // --- The record array ---
    int GetCapacity() const { return m_nCapacity; }
    int GetRecordCount() const { return m_nRecords; }
    int GetEnd() const { return m_nEnd; }
    // New entries are empty; the capacity never shrinks.
    LONG Grow(int nCapacity);
    // A copy at the first empty position, whose number goes into the copy
    // and into *pPosition.
    LONG AddToArray(const CSyncRecord& rec, LONG* pPosition = nullptr);
    // A copy at the position (replacing what is there), growing as needed.
    LONG SetAt(LONG position, const CSyncRecord& rec);
    LONG RemoveAt(LONG position);
    void RemoveAllRecords();
    // The record held at a position, or null; changes to it must not touch its ID.
    CSyncRecord* GetAt(LONG position) const;
    // The lowest position holding the ID, or -1.
    LONG FindPositionById(DWORD id) const;
    CSyncRecord* FindById(DWORD id) const;
    LONG ReadCopyById(DWORD id, CSyncRecord& rec) const;
    // The nth present record (0 first) in position order.
    LONG ReadCopyByOrdinal(int n, CSyncRecord& rec) const;
    LONG ReadCopyByIdAndCategory(DWORD id, DWORD category, CSyncRecord& rec) const;

    // --- Iteration: a start, then Next until CONDUIT_NO_MORE ---
    enum IterMode { IterNone, IterAll, IterChanged, IterUnvisited, IterCategory, IterChangedInCategory, IterStatusMask };
    LONG StartAll();
    LONG StartChanged();          // reorders the changed records to the front first
    LONG StartUnvisited();
    LONG StartCategory(DWORD category);
    LONG StartChangedInCategory(DWORD category);
    LONG StartStatusMask(DWORD mask);
    virtual LONG Next(CSyncRecord& rec);

    // --- Orders ---
    void ReorderChangedFirst();
    void ReorderById();
    void ReorderUnvisitedFirst();
    void ReorderByCategory();
    // The IDs of the present records in position order; *pnCount in: room,
    // out: IDs written, or needed (with CONDUIT_BUFFER_TOO_SMALL).
    LONG GetIdList(DWORD* pIds, int* pnCount) const;
    // Rebuilds the array in the order of the IDs given.
    LONG ReorderByIdList(const DWORD* pIds, int nCount);

    // --- What each kind of manager does its own way ---
    virtual LONG Open() { return CONDUIT_NOT_SUPPORTED; }
    virtual LONG Close(int /*bReset*/) { return CONDUIT_NOT_SUPPORTED; }
    virtual LONG Load() { return CONDUIT_NOT_SUPPORTED; }
    virtual LONG AddRecord(CSyncRecord& /*rec*/) { return CONDUIT_NOT_SUPPORTED; }
    virtual LONG WriteRecord(CSyncRecord& /*rec*/) { return CONDUIT_NOT_SUPPORTED; }
    virtual LONG ReplaceAtPosition(CSyncRecord& /*rec*/) { return CONDUIT_NOT_SUPPORTED; }
    virtual LONG DeleteRecord(CSyncRecord& /*rec*/) { return CONDUIT_NOT_SUPPORTED; }
    virtual LONG PurgeDeleted() { return CONDUIT_NOT_SUPPORTED; }
    virtual LONG LoadCategories() { return CONDUIT_NOT_SUPPORTED; }
    virtual LONG SaveCategories() { return CONDUIT_NOT_SUPPORTED; }
    virtual LONG SaveAppInfo() { return CONDUIT_NOT_SUPPORTED; }

protected:
    // Fills the iteration's next record from memory.
    LONG NextFromMemory(CSyncRecord& rec);
    bool Matches(const CSyncRecord& rec) const;
    // Puts the records given (in order) back into the positions they occupy, in position order.
    void Rearrange(bool (*less)(const CSyncRecord*, const CSyncRecord*));
    void Place(LONG position, CSyncRecord* p);
    CSyncRecord* Take(LONG position);
    void Swap(LONG a, LONG b);

    LONG m_lSyncType;
    DWORD m_dwCaps;
    CSyncLog* m_pLog;
    CCategoryList* m_pCategories;

    CSyncRecord** m_ppRecords;
    int m_nCapacity;
    int m_nRecords;
    int m_nEnd;            // one past the highest used position
    int m_nFirstFree;      // no empty position lies below it

    IterMode m_eIterMode;
    int m_nIterPos;
    DWORD m_dwIterCategory;
    DWORD m_dwIterMask;

private:
    std::unordered_multimap<DWORD, LONG> m_byId;
};
