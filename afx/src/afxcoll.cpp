#include "afx/afxcoll.h"

#include <cstdlib>
#include <cstring>
#include <new>

CPtrArray::CPtrArray() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {}

CPtrArray::~CPtrArray() { std::free(m_pData); }

void CPtrArray::SetSize(int nNewSize, int nGrowBy)
{
    if (nGrowBy >= 0)
        m_nGrowBy = nGrowBy;
    if (nNewSize <= 0) {
        RemoveAll();
        return;
    }
    if (nNewSize > m_nMaxSize) {
        int grow = m_nGrowBy;
        if (grow == 0)   // grow by a share of the size: linear cost for repeated Add
            grow = m_nSize / 2 < 4 ? 4 : m_nSize / 2;
        int newMax = nNewSize > m_nMaxSize + grow ? nNewSize : m_nMaxSize + grow;
        void** p = static_cast<void**>(std::realloc(m_pData, sizeof(void*) * newMax));
        if (!p)
            throw std::bad_alloc();
        m_pData = p;
        m_nMaxSize = newMax;
    }
    if (nNewSize > m_nSize)
        std::memset(m_pData + m_nSize, 0, sizeof(void*) * (nNewSize - m_nSize));
    m_nSize = nNewSize;
}

void CPtrArray::FreeExtra()
{
    if (m_nSize == m_nMaxSize)
        return;
    if (m_nSize == 0) {
        RemoveAll();
        return;
    }
    void** p = static_cast<void**>(std::realloc(m_pData, sizeof(void*) * m_nSize));
    if (p) {
        m_pData = p;
        m_nMaxSize = m_nSize;
    }
}

void CPtrArray::RemoveAll()
{
    std::free(m_pData);
    m_pData = nullptr;
    m_nSize = m_nMaxSize = 0;
}

int CPtrArray::Add(void* p)
{
    int index = m_nSize;
    SetSize(m_nSize + 1);
    m_pData[index] = p;
    return index;
}

void CPtrArray::InsertAt(int nIndex, void* p, int nCount)
{
    if (nCount <= 0)
        return;
    if (nIndex >= m_nSize) {
        SetSize(nIndex + nCount);
    } else {
        int old = m_nSize;
        SetSize(m_nSize + nCount);
        std::memmove(m_pData + nIndex + nCount, m_pData + nIndex, sizeof(void*) * (old - nIndex));
    }
    for (int i = 0; i < nCount; ++i)
        m_pData[nIndex + i] = p;
}

void CPtrArray::RemoveAt(int nIndex, int nCount)
{
    if (nIndex < 0 || nCount <= 0 || nIndex >= m_nSize)
        return;
    if (nCount > m_nSize - nIndex)
        nCount = m_nSize - nIndex;
    std::memmove(m_pData + nIndex, m_pData + nIndex + nCount, sizeof(void*) * (m_nSize - nIndex - nCount));
    m_nSize -= nCount;
}

CMapWordToPtr::CMapWordToPtr(int) : m_nCount(0)
{
    std::memset(m_pHashTable, 0, sizeof m_pHashTable);
}

CMapWordToPtr::~CMapWordToPtr() { RemoveAll(); }

CMapWordToPtr::CAssoc* CMapWordToPtr::Find(WORD key) const
{
    for (CAssoc* a = m_pHashTable[Hash(key)]; a; a = a->pNext)
        if (a->key == key)
            return a;
    return nullptr;
}

BOOL CMapWordToPtr::Lookup(WORD key, void*& rValue) const
{
    CAssoc* a = Find(key);
    if (!a)
        return FALSE;
    rValue = a->value;
    return TRUE;
}

void*& CMapWordToPtr::operator[](WORD key)
{
    CAssoc* a = Find(key);
    if (!a) {
        a = new CAssoc{m_pHashTable[Hash(key)], key, nullptr};
        m_pHashTable[Hash(key)] = a;
        ++m_nCount;
    }
    return a->value;
}

BOOL CMapWordToPtr::RemoveKey(WORD key)
{
    for (CAssoc** pp = &m_pHashTable[Hash(key)]; *pp; pp = &(*pp)->pNext) {
        if ((*pp)->key == key) {
            CAssoc* dead = *pp;
            *pp = dead->pNext;
            delete dead;
            --m_nCount;
            return TRUE;
        }
    }
    return FALSE;
}

void CMapWordToPtr::RemoveAll()
{
    for (CAssoc*& head : m_pHashTable) {
        while (head) {
            CAssoc* next = head->pNext;
            delete head;
            head = next;
        }
    }
    m_nCount = 0;
}

POSITION CMapWordToPtr::GetStartPosition() const
{
    for (CAssoc* head : m_pHashTable)
        if (head)
            return reinterpret_cast<POSITION>(head);
    return nullptr;
}

void CMapWordToPtr::GetNextAssoc(POSITION& rNextPosition, WORD& rKey, void*& rValue) const
{
    CAssoc* a = reinterpret_cast<CAssoc*>(rNextPosition);
    rKey = a->key;
    rValue = a->value;
    CAssoc* next = a->pNext;
    for (UINT b = Hash(a->key) + 1; !next && b < kHashSize; ++b)
        next = m_pHashTable[b];
    rNextPosition = reinterpret_cast<POSITION>(next);
}
