#include "Category.h"

#include <cstring>

namespace NorvaneCommon {

CCategory::CCategory() : m_dwIndex(0), m_dwID(0), m_bDirty(0) {}

CCategory::CCategory(const CCategory& other)
    : CObject(), m_dwIndex(other.m_dwIndex), m_dwID(other.m_dwID), m_strName(other.m_strName),
      m_strFileName(other.m_strFileName), m_bDirty(other.m_bDirty)
{
}

CCategory& CCategory::operator=(const CCategory& other)
{
    m_dwIndex = other.m_dwIndex;
    m_dwID = other.m_dwID;
    m_strName = other.m_strName;
    m_strFileName = other.m_strFileName;
    m_bDirty = other.m_bDirty;
    return *this;
}

CCategory::~CCategory() {}

CCategoryMgr::CCategoryMgr() : m_lNextAddID(128), m_lFindCursor(0) {}

CCategoryMgr::~CCategoryMgr()
{
    POSITION pos = m_categories.GetStartPosition();
    while (pos) {
        WORD key;
        void* value;
        m_categories.GetNextAssoc(pos, key, value);
        delete static_cast<CCategory*>(value);
    }
    m_categories.RemoveAll();
}

void CCategoryMgr::Extract(unsigned char* pBlock, DWORD dwLength)
{
    if (!pBlock || dwLength < kCategoryBlockSize)
        return;
    for (DWORD i = 0; i < kCategoryCount; ++i) {
        const char* slot = reinterpret_cast<const char*>(pBlock + kCategoryNamesOffset + i * kCategoryNameSize);
        if (slot[0] == 0)
            continue;
        size_t len = strnlen(slot, kCategoryNameSize);   // a slot without its NUL stops at its end
        CCategory* pCategory = new CCategory;
        pCategory->SetIndex(i);
        pCategory->SetName(CString(slot, static_cast<int>(len)));
        pCategory->SetID(pBlock[kCategoryIDsOffset + i]);
        // Stored renamed bits are not carried over: the conduit clears them at
        // every HotSync operation, so only desktop renames count.
        pCategory->SetDirty(0);
        CString fileName;
        GenFileName(fileName, pCategory->GetName());
        pCategory->SetFileName(fileName);
        void* old;
        if (m_categories.Lookup(static_cast<WORD>(i), old))
            delete static_cast<CCategory*>(old);
        m_categories[static_cast<WORD>(i)] = pCategory;
    }
}

void CCategoryMgr::Compact(unsigned char* pBlock, DWORD* pdwLength)
{
    if (!pBlock || !pdwLength || *pdwLength < kCategoryBlockSize)
        return;
    std::memset(pBlock, 0, kCategoryBlockSize);
    unsigned renamed = 0;
    POSITION pos = m_categories.GetStartPosition();
    while (pos) {
        WORD key;
        void* value;
        m_categories.GetNextAssoc(pos, key, value);
        CCategory* pCategory = static_cast<CCategory*>(value);
        DWORD index = pCategory->GetIndex();
        if (index >= kCategoryCount)
            continue;
        // At most 15 bytes, never half of a double-byte character.
        const CString& name = pCategory->GetName();
        int len = 0;
        while (len < name.GetLength()) {
            int step = afx::CharLength932(name.GetString() + len, name.GetLength() - len);
            if (len + step > static_cast<int>(kCategoryNameSize) - 1)
                break;
            len += step;
        }
        std::memcpy(pBlock + kCategoryNamesOffset + index * kCategoryNameSize, name.GetString(), len);
        pBlock[kCategoryIDsOffset + index] = static_cast<unsigned char>(pCategory->GetID() & 0xFF);
        if (pCategory->IsDirty())
            renamed |= 1u << index;
    }
    pBlock[kCategoryRenamedOffset] = static_cast<unsigned char>(renamed >> 8);
    pBlock[kCategoryRenamedOffset + 1] = static_cast<unsigned char>(renamed & 0xFF);
    *pdwLength = kCategoryBlockSize;
}

LONG CCategoryMgr::GetFreeIndex()
{
    for (WORD i = 0; i < kCategoryCount; ++i) {
        void* value;
        if (!m_categories.Lookup(i, value))
            return i;
    }
    return -1;
}

LONG CCategoryMgr::GetNextAddID() { return m_lNextAddID++; }

CatError CCategoryMgr::Add(CCategory* pCategory)
{
    LONG index = GetFreeIndex();
    if (index < 0)
        return CatErrFull;
    pCategory->SetIndex(static_cast<DWORD>(index));
    pCategory->SetID(static_cast<DWORD>(GetNextAddID()));
    CString fileName;
    GenFileName(fileName, pCategory->GetName());
    pCategory->SetFileName(fileName);
    m_categories[static_cast<WORD>(index)] = new CCategory(*pCategory);
    return CatErrNone;
}

CatError CCategoryMgr::Delete(int nIndex)
{
    CCategory* pCategory;
    if (FindIndex(nIndex, pCategory) != CatErrNone)
        return CatErrNotFound;
    m_categories.RemoveKey(static_cast<WORD>(nIndex));
    delete pCategory;
    return CatErrNone;
}

CatError CCategoryMgr::Rename(int nIndex, CString& strName)
{
    CCategory* pCategory;
    if (FindIndex(nIndex, pCategory) != CatErrNone)
        return CatErrNotFound;
    pCategory->SetName(strName);
    CString fileName;
    GenFileName(fileName, strName);
    pCategory->SetFileName(fileName);
    pCategory->SetDirty(1);
    return CatErrNone;
}

CatError CCategoryMgr::FindFrom(int nStart, CCategory*& pCategory)
{
    pCategory = nullptr;
    if (m_categories.IsEmpty())
        return CatErrEmpty;
    for (int i = nStart; i < static_cast<int>(kCategoryCount); ++i) {
        void* value;
        if (m_categories.Lookup(static_cast<WORD>(i), value)) {
            pCategory = static_cast<CCategory*>(value);
            m_lFindCursor = i;
            return CatErrNone;
        }
    }
    return CatErrNotFound;
}

CatError CCategoryMgr::FindFirst(CCategory*& pCategory) { return FindFrom(0, pCategory); }

CatError CCategoryMgr::FindNext(CCategory*& pCategory) { return FindFrom(m_lFindCursor + 1, pCategory); }

CatError CCategoryMgr::FindIndex(int nIndex, CCategory*& pCategory)
{
    pCategory = nullptr;
    void* value;
    if (nIndex < 0 || nIndex >= static_cast<int>(kCategoryCount) || !m_categories.Lookup(static_cast<WORD>(nIndex), value))
        return CatErrNotFound;
    pCategory = static_cast<CCategory*>(value);
    return CatErrNone;
}

namespace {
// The first category that matches, in the map's own order.
template <class Matches>
CatError FindWhere(const CMapWordToPtr& categories, Matches matches, CCategory*& pCategory)
{
    pCategory = nullptr;
    for (POSITION pos = categories.GetStartPosition(); pos;) {
        WORD key;
        void* value;
        categories.GetNextAssoc(pos, key, value);
        CCategory* p = static_cast<CCategory*>(value);
        if (matches(p)) {
            pCategory = p;
            return CatErrNone;
        }
    }
    return CatErrNotFound;
}
} // namespace

CatError CCategoryMgr::FindName(CString& strName, CCategory*& pCategory)
{
    return FindWhere(m_categories, [&](CCategory* p) { return p->GetName() == strName; }, pCategory);
}

CatError CCategoryMgr::FindID(int nID, CCategory*& pCategory)
{
    return FindWhere(m_categories, [&](CCategory* p) { return static_cast<int>(p->GetID()) == nID; }, pCategory);
}

CatError CCategoryMgr::GenFileName(CString& strFileName, CString& strName)
{
    strFileName = strName;
    static const char kReserved[] = "\"*+,./:;<=>?[\\]^|";
    // Double-byte characters are kept whole: their trail byte may look like '\\'.
    int n = strFileName.GetLength();
    char* p = strFileName.GetBuffer(n);
    for (int i = 0; i < n; i += afx::CharLength932(p + i, n - i))
        if (p[i] != 0 && std::strchr(kReserved, p[i]))
            p[i] = '_';
    strFileName.ReleaseBuffer(n);
    return CatErrNone;
}

} // namespace NorvaneCommon
