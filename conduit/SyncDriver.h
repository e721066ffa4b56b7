// One HotSync operation of the conduit: opens the handheld database, the
// desktop data file and its backup, reconciles categories, the app-info
// block and the records by the state tables, archives, purges and closes.
#pragma once

#include "DesktopDb.h"
#include "HandheldDb.h"
#include "SyncLog.h"
#include "SyncProperties.h"

class CSyncDriver {
public:
    // Action mask steps.
    enum : DWORD {
        ActDeleteDesktop = 0x1,
        ActArchiveDesktop = 0x2,
        ActDeleteHandheld = 0x4,
        ActArchiveHandheld = 0x8,
        ActAddToHandheld = 0x10,
        ActAddToDesktop = 0x20,
        ActReplaceDesktop = 0x40,
        ActWriteHandheld = 0x80,
        ActDuplicateIfDiffer = 0x100,
        ActHhArchivedPcModified = 0x200,
        ActHhModifiedPcArchived = 0x400,
        ActBothArchived = 0x800,
        ActDuplicate = 0x2000,
        ActDeleteHandheldById = 0x10000,
        ActLogModDeleted = 0x1000000,
        ActNone = 0x10000000
    };
    enum : DWORD { KeyDiffer = 0x10000000, KeySame = 0x20000000 };

    CSyncDriver(const CSyncProperties& props, DWORD dwCaps, void* hResources = nullptr);
    virtual ~CSyncDriver();
    CSyncDriver(const CSyncDriver&) = delete;
    CSyncDriver& operator=(const CSyncDriver&) = delete;

    virtual LONG Run();

    LONG GetSyncType() const { return m_props.m_SyncType; }
    CSyncLog& GetLog() { return m_log; }

    // The six state tables; 0 for a key that is not there.
    static DWORD FastHandheldTable(DWORD key);
    static DWORD SlowHandheldTable(DWORD key);
    static DWORD FastDesktopTable(DWORD key);
    static DWORD SlowDesktopTable(DWORD key);
    static DWORD DesktopToHandheldTable(DWORD key);
    static DWORD HandheldToDesktopTable(DWORD key);

protected:
    virtual LONG HandheldOverwritesDesktop();
    virtual LONG DesktopOverwritesHandheld();
    virtual LONG SlowSync();
    virtual LONG FastSync();
    LONG Synchronize(bool bSlow);
    LONG Dispatch();

    // Conflicts.
    LONG BothArchived(CSyncRecord& a, CSyncRecord& b);
    LONG HhModifiedPcArchived(CSyncRecord& a, CSyncRecord& b);
    LONG HhArchivedPcModified(CSyncRecord& a, CSyncRecord& b);
    LONG Duplicate(CSyncRecord& a, CSyncRecord& b);
    LONG DuplicateIfDiffer(CSyncRecord& a, CSyncRecord& b);

    LONG ReconcileCategories();
    LONG ReconcileAppInfo();
    LONG ProcessHandheldRecord(CSyncRecord& a);
    LONG ProcessDesktopRecord(CSyncRecord& b);
    LONG ArchiveRecord(const CSyncRecord& r);

    void DestroyManagers();
    LONG OpenAllManagers();
    LONG OpenDesktop();
    LONG SelectDatabase(int i);
    LONG Register();
    LONG Finish(LONG result);
    void FirstSyncMarks();
    LONG DeleteMissingCategories();
    LONG PlaceDesktopOnlyCategories();
    LONG MatchCategories();
    void MapCategory(LONG from, LONG to);
    LONG Execute(DWORD mask, CSyncRecord& a, CSyncRecord& b);
    LONG PurgeAndCountCheck();
    LONG GetArchive(DWORD category, CArchiveDb** ppArchive);
    LONG SaveArchives();
    LONG CopyAppInfoToDesktop();
    LONG CopyAppInfoToHandheld();
    LONG Close();

    CSyncProperties m_props;
    DWORD m_dwCaps;
    bool m_bSlow;
    CHandheldDb* m_pHandheld;
    CDesktopDb* m_pDesktop;
    CBackupDb* m_pBackup;
    CArchiveDb* m_pArchives[16];
    SyncDbDescriptor m_desc;
    BYTE m_systemInfo[255];
    SyncConduitHandle m_hConduit;
    LONG m_categoryMap[16];
    bool m_bMapChanged;
    CSyncLog m_log;
};
