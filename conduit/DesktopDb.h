// The desktop data file as the conduit reads and rewrites it, and the two
// files of the same format beside it: the archives (".ARC") and the backup
// (".BAK") that holds the state after the previous HotSync operation.
#pragma once

#include "DbManager.h"

#include "afx/afxfile.h"

#include <string>

struct SyncDbDescriptor;

enum : DWORD {
    kFileHeaderSize = 84,
    kBlockHeaderSize = 56,
    kRecordHeaderSize = 40,
    kFileBufferSize = 65520,
    kFormatTag = 0x1002
};

#if defined(_WIN32)
const char kPathSeparator = '\\';
#else
const char kPathSeparator = '/';
#endif

// Folder, separator and file name ("GenericDB.DAT" when the name is empty);
// empty when both are empty.
std::string MakeDesktopPath(const char* pszFolder, const char* pszFile);
// The path with its extension replaced by, or extended with, pszExt (".BAK").
std::string ReplaceExtension(const std::string& path, const char* pszExt);

class CDesktopDb : public CDbManager {
public:
    CDesktopDb(const char* pszDbName, const char* pszFolder, const char* pszFile, DWORD dwCaps, LONG lSyncType,
               CSyncLog* pLog);
    // Closes the file without writing it.
    ~CDesktopDb() override;

    const std::string& GetPath() const { return m_strPath; }
    const char* GetDbName() const { return m_szDbName; }
    int IsChanged() const { return m_bChanged; }
    int IsFileOpen() const { return m_file.IsOpen(); }

    LONG Open() override;
    LONG Load() override;
    LONG Close(int bReset) override;
    // Clears every record's flags, then writes the file for the sync types
    // that rewrite it; a failure is logged (3364).
    LONG Save();
    // Writes the whole file beside the old one and replaces it only when
    // every byte is written.
    LONG WriteFile();
    LONG ReadFile();

    // --- Header and blocks ---
    const BYTE* GetHeader() const { return m_pHeader; }
    LONG SetHeaderFrom(const SyncDbDescriptor& desc);
    int HasAppInfoBlock() const { return m_pAppInfo != nullptr; }
    // Data part of the app-info block (bytes in use).
    const BYTE* GetAppInfoData() const;
    DWORD GetAppInfoLength() const;
    // A block holding exactly these bytes.
    LONG SetAppInfo(const char* pszName, const BYTE* pData, DWORD dwLength, DWORD dwReserved);
    const BYTE* GetSortInfoData() const;
    DWORD GetSortInfoLength() const;
    LONG SetSortInfo(const char* pszName, const BYTE* pData, DWORD dwLength, DWORD dwReserved);

    // --- Categories ---
    LONG LoadCategories() override;
    LONG SaveCategories() override;
    int HasExtra() const { return GetAppInfoLength() > ExtraOffset(); }
    DWORD GetExtraLength() const { return HasExtra() ? GetAppInfoLength() - ExtraOffset() : 0; }
    const BYTE* GetExtra() const { return HasExtra() ? GetAppInfoData() + ExtraOffset() : nullptr; }
    LONG SetExtra(DWORD dwLength, const BYTE* pBytes);

    // --- Records ---
    LONG AddRecord(CSyncRecord& rec) override;
    // By ID, or by position when the ID is 0.
    LONG DeleteRecord(CSyncRecord& rec) override;
    LONG ReplaceAtPosition(CSyncRecord& rec) override;
    LONG UpdateById(const CSyncRecord& rec);
    // A copy; clears the held record's unvisited mark.
    LONG ReadById(DWORD id, CSyncRecord& rec);
    LONG ChangeCategory(DWORD dwFrom, DWORD dwTo);
    LONG MoveOrRemoveCategory(DWORD dwCategory, int bRemove);
    LONG PurgeDeleted() override;
    // Records whose category has an entry (not -1) take it and are marked modified.
    LONG ApplyCategoryMap(const LONG* pMap);
    void ClearAllFlags();

protected:
    DWORD ExtraOffset() const { return HasCategories() ? DWORD(kCategoryPartSize) : 0; }
    LONG OpenFile(UINT nFlags, int* pbMissing);
    LONG EnsureHeader();
    void MarkChanged() { m_bChanged = 1; }
    LONG SetBlock(BYTE*& pBlock, const char* pszName, const BYTE* pData, DWORD dwLength, DWORD dwReserved);

    char m_szDbName[32];
    std::string m_strPath;
    CFile m_file;
    BYTE* m_pHeader;
    BYTE* m_pAppInfo;
    BYTE* m_pSortInfo;
    int m_bChanged;
    int m_bLoaded;
    int m_bFirstOpen;
};

class CArchiveDb : public CDesktopDb {
public:
    // pszFile is the archive's base name (a category's file-name form, or the
    // data file's name); its extension becomes ".ARC".
    CArchiveDb(const char* pszDbName, const char* pszFolder, const char* pszFile, DWORD dwCaps, LONG lSyncType,
               CSyncLog* pLog);
    // A missing archive is an empty one; an existing one is read whole.
    LONG Open() override;
    LONG SaveArchive();
};

class CBackupDb : public CDesktopDb {
public:
    CBackupDb(const char* pszDbName, const char* pszFolder, const char* pszFile, DWORD dwCaps, LONG lSyncType,
              CSyncLog* pLog);
    // Read only in the slow sync; a missing backup is an empty one.
    LONG Open() override;
    LONG Load() override { return CONDUIT_OK; }
    // Closes, then copies the data file over the backup.
    LONG Finish();
    const std::string& GetDataPath() const { return m_strDataPath; }

private:
    std::string m_strDataPath;
};
