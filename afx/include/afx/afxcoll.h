// The framework's root class and the two collections the data core uses: an
// array of pointers and a map from a 16-bit key to a pointer. The collections
// never own what they point at.
#pragma once

#include "afx/afxtypes.h"

class CObject {
public:
    CObject() {}
    CObject(const CObject&) {}
    CObject& operator=(const CObject&) { return *this; }
    virtual ~CObject() {}
};

// An opaque iteration position, as the framework hands them out.
struct __POSITION {};
typedef __POSITION* POSITION;

class CPtrArray : public CObject {
public:
    CPtrArray();
    ~CPtrArray() override;
    CPtrArray(const CPtrArray&) = delete;
    CPtrArray& operator=(const CPtrArray&) = delete;

    int GetSize() const { return m_nSize; }
    int GetCount() const { return m_nSize; }
    int GetUpperBound() const { return m_nSize - 1; }
    bool IsEmpty() const { return m_nSize == 0; }
    void SetSize(int nNewSize, int nGrowBy = -1);
    void FreeExtra();
    void RemoveAll();

    void* GetAt(int nIndex) const { return m_pData[nIndex]; }
    void SetAt(int nIndex, void* p) { m_pData[nIndex] = p; }
    void*& ElementAt(int nIndex) { return m_pData[nIndex]; }
    void* operator[](int nIndex) const { return m_pData[nIndex]; }
    void*& operator[](int nIndex) { return m_pData[nIndex]; }
    void** GetData() { return m_pData; }
    void* const* GetData() const { return m_pData; }

    int Add(void* p);
    void InsertAt(int nIndex, void* p, int nCount = 1);
    void RemoveAt(int nIndex, int nCount = 1);

private:
    void** m_pData;
    int m_nSize;
    int m_nMaxSize;
    int m_nGrowBy;
};

class CMapWordToPtr : public CObject {
public:
    explicit CMapWordToPtr(int nBlockSize = 10);
    ~CMapWordToPtr() override;
    CMapWordToPtr(const CMapWordToPtr&) = delete;
    CMapWordToPtr& operator=(const CMapWordToPtr&) = delete;

    int GetCount() const { return m_nCount; }
    int GetSize() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

    BOOL Lookup(WORD key, void*& rValue) const;
    void*& operator[](WORD key);
    void SetAt(WORD key, void* newValue) { (*this)[key] = newValue; }
    BOOL RemoveKey(WORD key);
    void RemoveAll();

    // Iteration in the map's own order (by hash bucket, as the framework does).
    POSITION GetStartPosition() const;
    void GetNextAssoc(POSITION& rNextPosition, WORD& rKey, void*& rValue) const;

private:
    struct CAssoc {
        CAssoc* pNext;
        WORD key;
        void* value;
    };
    enum { kHashSize = 17 };
    static UINT Hash(WORD key) { return static_cast<UINT>(key) % kHashSize; }
    CAssoc* Find(WORD key) const;

    CAssoc* m_pHashTable[kHashSize];
    int m_nCount;
};
