// The category list of the application-info block: up to sixteen categories,
// referred to by records through their index 0-15.
#pragma once

#include "NvComnApi.h"
#include "afx/afx.h"

namespace NorvaneCommon {

enum CatError {
    CatErrNone = 0,
    CatErrEmpty = 2,
    CatErrFull = 3,
    CatErrNotFound = 4
};

// The category block at the start of the application-info data.
enum : DWORD {
    kCategoryCount = 16,
    kCategoryNameSize = 16,                  // 15 bytes of text and the NUL
    kCategoryRenamedOffset = 0,              // big-endian word, bit i = renamed
    kCategoryNamesOffset = 2,
    kCategoryIDsOffset = 258,
    kCategoryLastIDOffset = 274,
    kCategoryBlockSize = 276
};

class NVCOMN_API CCategory : public CObject {
public:
    CCategory();
    CCategory(const CCategory& other);
    CCategory& operator=(const CCategory& other);
    ~CCategory() override;

    DWORD GetIndex() const { return m_dwIndex; }
    void SetIndex(DWORD index) { m_dwIndex = index; }
    DWORD GetID() const { return m_dwID; }
    void SetID(DWORD id) { m_dwID = id; }
    CString& GetName() { return m_strName; }
    const CString& GetName() const { return m_strName; }
    void SetName(const CString& name) { m_strName = name; }
    CString& GetFileName() { return m_strFileName; }
    const CString& GetFileName() const { return m_strFileName; }
    void SetFileName(const CString& name) { m_strFileName = name; }
    int IsDirty() const { return m_bDirty; }
    void SetDirty(int dirty) { m_bDirty = dirty ? 1 : 0; }

protected:
    DWORD m_dwIndex;
    DWORD m_dwID;
    CString m_strName;
    CString m_strFileName;
    int m_bDirty;
};

class NVCOMN_API CCategoryMgr : public CObject {
public:
    CCategoryMgr();
    ~CCategoryMgr() override;
    CCategoryMgr(const CCategoryMgr&) = delete;
    CCategoryMgr& operator=(const CCategoryMgr&) = delete;

    // Reads the 276-byte category block; a shorter length reads none of it.
    void Extract(unsigned char* pBlock, DWORD dwLength);
    // Writes the category block in place; a length below 276 writes nothing.
    void Compact(unsigned char* pBlock, DWORD* pdwLength);

    CatError Add(CCategory* pCategory);
    CatError Delete(int nIndex);
    CatError Rename(int nIndex, CString& strName);
    CatError FindFirst(CCategory*& pCategory);
    CatError FindNext(CCategory*& pCategory);
    CatError FindIndex(int nIndex, CCategory*& pCategory);
    CatError FindName(CString& strName, CCategory*& pCategory);
    CatError FindID(int nID, CCategory*& pCategory);
    int GetCount() const { return m_categories.GetCount(); }

protected:
    LONG GetFreeIndex();
    LONG GetNextAddID();
    CatError GenFileName(CString& strFileName, CString& strName);
    CatError FindFrom(int nStart, CCategory*& pCategory);

    LONG m_lNextAddID;
    LONG m_lFindCursor;
    CMapWordToPtr m_categories;
};

} // namespace NorvaneCommon
