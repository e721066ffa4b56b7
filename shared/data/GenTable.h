// The desktop data file: CGenTable holds one whole file in memory (header,
// application-info and sort-info blocks, records, coder, category manager);
// CGenRecord is the generic part of one record.
#pragma once

#include "NvComnApi.h"
#include "FileLayout.h"
#include "afx/afx.h"

namespace NorvaneCommon {

class CGenCoder;
class CCategoryMgr;

// Results of OpenFrom and Save.
enum TableResult : LONG {
    TableOK = 0,
    TableCannotOpen = -1,        // missing, locked or not accessible
    TableBadPassword = -2,       // password missing or wrong; header and blocks loaded
    TableDamaged = -3            // content inconsistent; nothing loaded / nothing written
};

class NVCOMN_API CGenRecord : public CObject {
public:
    // In-memory state flags (they differ from the stored attribute bits).
    enum : DWORD { FlagDeleted = 0x1, FlagArchived = 0x2, FlagUpdate = 0x4, FlagNew = 0x8 };

    CGenRecord();
    CGenRecord(const CGenRecord& other);
    explicit CGenRecord(const StorageRecordType* pStorage);
    ~CGenRecord() override;

    virtual void ConvertToStorageRecord(StorageRecordType* pStorage, CGenCoder* pCoder);
    virtual int Compare(const CGenRecord& other) const;

    DWORD GetID() const { return m_dwID; }
    void SetID(DWORD id) { m_dwID = id; }
    DWORD GetIndex() const { return m_dwIndex; }
    void SetIndex(DWORD index) { m_dwIndex = index; }
    DWORD GetCategory() const { return m_dwCategory; }
    void SetCategory(DWORD category) { m_dwCategory = category; }

    int IsNew() const { return (m_dwFlags & FlagNew) != 0; }
    void SetNew(int on) { SetFlag(FlagNew, on); }
    int IsUpdate() const { return (m_dwFlags & FlagUpdate) != 0; }
    void SetUpdate(int on) { SetFlag(FlagUpdate, on); }
    int IsDeleted() const { return (m_dwFlags & FlagDeleted) != 0; }
    void SetDeleted(int on) { SetFlag(FlagDeleted, on); }
    int IsArchived() const { return (m_dwFlags & FlagArchived) != 0; }
    void SetArchived(int on) { SetFlag(FlagArchived, on); }
    int IsPrivate() const { return m_bPrivate != 0; }
    void SetPrivate(int on) { m_bPrivate = on ? 1 : 0; }
    void SetNone() { m_dwFlags = 0; }
    int IsNone() const { return m_dwFlags == 0; }
    int IsModified() const { return m_dwFlags != 0; }

    static DWORD SwapDWordToIntel(DWORD value);
    static DWORD SwapDWordToMotor(DWORD value);
    static WORD FlipWord(WORD value);
    static int SubstCRwithNL(CString& text);
    static int SubstNLwithCR(CString& text);

protected:
    void SetFlag(DWORD flag, int on) { m_dwFlags = on ? (m_dwFlags | flag) : (m_dwFlags & ~flag); }

    DWORD m_dwID;
    DWORD m_dwIndex;
    DWORD m_dwCategory;
    DWORD m_dwFlags;
    int m_bPrivate;
};

class NVCOMN_API CGenTable {
public:
    CGenTable();
    virtual ~CGenTable();
    CGenTable(const CGenTable&) = delete;
    CGenTable& operator=(const CGenTable&) = delete;

    LONG OpenFrom(CString& strPath, UINT nOpenFlags, const char* pszPassword);
    LONG Save();
    LONG GetRecordCount() const { return m_records.GetSize(); }
    virtual LONG AppendRecord(CGenRecord* pRecord);
    CCategoryMgr* GetCategoryManager();

    // The record at a position of the array (file order); null outside it.
    CGenRecord* GetRecord(int nPosition) const;
    const CString& GetPath() const { return m_strPath; }

protected:
    virtual CGenRecord* ConstructRecord(StorageRecordType* pStorage, CGenCoder* pCoder) = 0;
    virtual CGenCoder* ConstructCoder();
    virtual int IsPasswordSpecified();
    virtual int IsPasswordOK(const char* pszPassword);
    // Whether the application-info block holds what the subclass needs of it;
    // a file that fails this is damaged.
    virtual int IsAppInfoValid();

    void ReleaseAllAlocatedMemory();

    // The application-info data (through the block's data offset) and its
    // capacity; null when there is no block.
    unsigned char* GetAppInfoData(DWORD* pdwSize) const;

    CGenCoder* m_pCoder;
    CString m_strPath;
    UINT m_nOpenFlags;
    DBFileHeader m_header;
    unsigned char* m_pAppInfo;
    unsigned char* m_pSortInfo;
    CPtrArray m_records;
    CCategoryMgr* m_pCategoryMgr;

private:
    LONG Load(const unsigned char* pFile, size_t nFileSize, const char* pszPassword);
    LONG WriteTo(CFile& file);

    bool m_bLoaded;   // the last OpenFrom succeeded; Save refuses otherwise
};

} // namespace NorvaneCommon
