// The handheld's category list as the conduit reconciles it: sixteen slots
// by category index, read from and written to the first 276 bytes of the
// application-info block.
#pragma once

#include "ConduitResult.h"

enum : DWORD {
    kCategoryPartSize = 276,     // the category part of the application-info block
    kCategoryCount = 16,
    kCategoryNameMax = 15
};

class CPCategory {
public:
    enum : DWORD { FlagChanged = 0x10 };

    CPCategory();

    LONG GetIndex() const { return m_lIndex; }
    void SetIndex(LONG index) { m_lIndex = index; }
    LONG GetID() const { return m_lID; }
    void SetID(LONG id) { m_lID = id; }
    const char* GetName() const { return m_szName; }
    // At most 15 bytes are kept, cut at a character boundary; CONDUIT_TOO_LONG when cut.
    LONG SetName(const char* pszName);
    // The name with the characters a file name cannot hold (and the full
    // stop) replaced by underscores.
    const char* GetFileName() const { return m_szFileName; }
    void MakeFileName();
    DWORD GetFlags() const { return m_dwFlags; }
    void SetFlags(DWORD flags) { m_dwFlags = flags; }
    int IsChanged() const { return (m_dwFlags & FlagChanged) != 0; }
    void SetChanged(int on) { m_dwFlags = on ? (m_dwFlags | FlagChanged) : (m_dwFlags & ~DWORD(FlagChanged)); }

private:
    LONG m_lIndex;
    LONG m_lID;
    char m_szName[16];
    char m_szFileName[256];
    DWORD m_dwFlags;
};

class CCategoryList {
public:
    CCategoryList();
    CCategoryList(const CCategoryList& other);
    CCategoryList& operator=(const CCategoryList& other);
    ~CCategoryList();

    // Reads the category part of a block; -2001 when it is shorter than 276 bytes.
    LONG Extract(const BYTE* pBlock, DWORD dwLength);
    // Writes the category part; *pdwLength in: the room, out: 276.
    LONG Compact(BYTE* pBlock, DWORD* pdwLength) const;

    // Stores a copy; the category gets the lowest free index when it has none.
    LONG Add(const CPCategory& category);
    LONG AddAndMarkChanged(const CPCategory& category);
    LONG Rename(LONG index, const char* pszName);
    // Stores a copy at the index without marking the list changed.
    LONG Replace(LONG index, const CPCategory& category);
    LONG DeleteByIndex(LONG index);
    LONG DeleteByID(LONG id);
    LONG DeleteByName(const char* pszName);

    CPCategory* FindByID(LONG id) const;
    // Without regard to the case of single-byte letters.
    CPCategory* FindByName(const char* pszName) const;
    CPCategory* GetByIndex(LONG index) const;
    LONG GetFreeIndex() const;          // 1 to 15, or -1
    CPCategory* GetFirst();
    CPCategory* GetNext();
    void MarkAllChanged();
    int Equal(const CCategoryList& other) const;

    int GetCount() const { return m_nCount; }
    int IsChanged() const { return m_bChanged; }
    void SetChanged(int on) { m_bChanged = on ? 1 : 0; }
    void RemoveAll();

private:
    CPCategory* m_pSlots[kCategoryCount];
    int m_nCount;
    int m_nIterator;
    int m_bChanged;
};
