#include "PCategory.h"

#include "afx/mbcs.h"

#include <cstring>
#include <new>

CPCategory::CPCategory() : m_lIndex(-1), m_lID(-1), m_dwFlags(0)
{
    m_szName[0] = '\0';
    m_szFileName[0] = '\0';
}

LONG CPCategory::SetName(const char* pszName)
{
    if (!pszName)
        return CONDUIT_NULL_ARGUMENT;
    // Never split a double-byte character at the cut.
    std::size_t n = 0;
    while (pszName[n]) {
        int len = afx::CharLength932(pszName + n);
        if (n + len > kCategoryNameMax)
            break;
        n += len;
    }
    std::memcpy(m_szName, pszName, n);
    m_szName[n] = '\0';
    return pszName[n] ? CONDUIT_TOO_LONG : CONDUIT_OK;
}

void CPCategory::MakeFileName()
{
    static const char kUnsafe[] = "\"*+,./:;<=>?[\\]^|";
    std::size_t i = 0;
    while (m_szName[i]) {
        // A trail byte of a double-byte character is not a character of its own.
        int len = afx::CharLength932(m_szName + i);
        if (len == 1 && std::strchr(kUnsafe, m_szName[i]))
            m_szFileName[i] = '_';
        else
            std::memcpy(m_szFileName + i, m_szName + i, len);
        i += len;
    }
    m_szFileName[i] = '\0';
}

CCategoryList::CCategoryList() : m_nCount(0), m_nIterator(0), m_bChanged(0)
{
    for (auto& p : m_pSlots)
        p = nullptr;
}

CCategoryList::CCategoryList(const CCategoryList& other) : CCategoryList() { *this = other; }

CCategoryList& CCategoryList::operator=(const CCategoryList& other)
{
    if (this == &other)
        return *this;
    RemoveAll();
    for (DWORD i = 0; i < kCategoryCount; ++i) {
        if (other.m_pSlots[i]) {
            m_pSlots[i] = new CPCategory(*other.m_pSlots[i]);
            ++m_nCount;
        }
    }
    m_nIterator = other.m_nIterator;
    m_bChanged = other.m_bChanged;
    return *this;
}

CCategoryList::~CCategoryList() { RemoveAll(); }

void CCategoryList::RemoveAll()
{
    for (auto& p : m_pSlots) {
        delete p;
        p = nullptr;
    }
    m_nCount = 0;
    m_nIterator = 0;
}

LONG CCategoryList::Extract(const BYTE* pBlock, DWORD dwLength)
{
    if (!pBlock)
        return CONDUIT_NULL_ARGUMENT;
    if (dwLength < kCategoryPartSize)
        return CONDUIT_APPINFO_TOO_SHORT;
    RemoveAll();
    m_bChanged = 0;
    const unsigned renamed = (unsigned(pBlock[0]) << 8) | pBlock[1];
    LONG result = CONDUIT_OK;
    for (DWORD i = 0; i < kCategoryCount; ++i) {
        const char* slot = reinterpret_cast<const char*>(pBlock + 2 + 16 * i);
        if (slot[0] == '\0')
            continue;
        char name[17];
        std::memcpy(name, slot, 16);
        name[16] = '\0';
        CPCategory c;
        c.SetIndex(static_cast<LONG>(i));
        c.SetName(name);
        c.SetID(pBlock[258 + i]);
        if (renamed & (1u << i)) {
            c.SetChanged(1);
            m_bChanged = 1;
        }
        // A damaged block may repeat an ID; the other categories still count.
        LONG e = Add(c);
        if (e != CONDUIT_OK && result == CONDUIT_OK)
            result = e;
    }
    return result;
}

LONG CCategoryList::Compact(BYTE* pBlock, DWORD* pdwLength) const
{
    if (!pBlock || !pdwLength)
        return CONDUIT_NULL_ARGUMENT;
    if (*pdwLength < kCategoryPartSize) {
        *pdwLength = kCategoryPartSize;
        return CONDUIT_BUFFER_TOO_SMALL;
    }
    std::memset(pBlock, 0, kCategoryPartSize);
    for (DWORD i = 0; i < kCategoryCount; ++i) {
        const CPCategory* c = m_pSlots[i];
        if (!c)
            continue;
        std::memcpy(pBlock + 2 + 16 * i, c->GetName(), std::strlen(c->GetName()));
        pBlock[258 + i] = static_cast<BYTE>(c->GetID());
    }
    *pdwLength = kCategoryPartSize;
    return CONDUIT_OK;
}

LONG CCategoryList::Add(const CPCategory& category)
{
    if (m_nCount >= static_cast<int>(kCategoryCount))
        return CONDUIT_CATEGORY_FULL;
    LONG index = category.GetIndex();
    if (index == -1) {
        index = GetFreeIndex();
        if (index == -1)
            return CONDUIT_CATEGORY_FULL;
    } else if (index < 0 || index >= static_cast<LONG>(kCategoryCount)) {
        return CONDUIT_BAD_INDEX;
    } else if (m_pSlots[index]) {
        // Taking an occupied place would lose the category there.
        return CONDUIT_CATEGORY_FULL;
    }
    if (category.GetID() == -1)
        return CONDUIT_CATEGORY_FULL;
    if (FindByID(category.GetID()))
        return CONDUIT_CATEGORY_ID_IN_USE;
    CPCategory* c = new (std::nothrow) CPCategory(category);
    if (!c)
        return CONDUIT_NO_MEMORY;
    c->SetIndex(index);
    c->MakeFileName();
    m_pSlots[index] = c;
    ++m_nCount;
    return CONDUIT_OK;
}

LONG CCategoryList::AddAndMarkChanged(const CPCategory& category)
{
    LONG e = Add(category);
    if (e == CONDUIT_OK)
        m_bChanged = 1;
    return e;
}

LONG CCategoryList::Rename(LONG index, const char* pszName)
{
    CPCategory* c = GetByIndex(index);
    if (!c)
        return index < 0 || index >= static_cast<LONG>(kCategoryCount) ? CONDUIT_BAD_INDEX
                                                                        : CONDUIT_NO_CATEGORY_AT_INDEX;
    LONG e = c->SetName(pszName);
    if (e == CONDUIT_NULL_ARGUMENT)
        return e;
    c->MakeFileName();
    return e;
}

LONG CCategoryList::Replace(LONG index, const CPCategory& category)
{
    if (index < 0 || index >= static_cast<LONG>(kCategoryCount))
        return CONDUIT_BAD_INDEX;
    CPCategory* c = new (std::nothrow) CPCategory(category);
    if (!c)
        return CONDUIT_NO_MEMORY;
    c->SetIndex(index);
    c->MakeFileName();
    if (m_pSlots[index])
        delete m_pSlots[index];
    else
        ++m_nCount;
    m_pSlots[index] = c;
    return CONDUIT_OK;
}

LONG CCategoryList::DeleteByIndex(LONG index)
{
    if (index < 0 || index >= static_cast<LONG>(kCategoryCount) || !m_pSlots[index])
        return CONDUIT_BAD_INDEX;
    delete m_pSlots[index];
    m_pSlots[index] = nullptr;
    --m_nCount;
    m_bChanged = 1;
    return CONDUIT_OK;
}

LONG CCategoryList::DeleteByID(LONG id)
{
    CPCategory* c = FindByID(id);
    return c ? DeleteByIndex(c->GetIndex()) : CONDUIT_CATEGORY_NOT_FOUND;
}

LONG CCategoryList::DeleteByName(const char* pszName)
{
    if (!pszName || !*pszName)
        return CONDUIT_EMPTY_NAME;
    CPCategory* c = FindByName(pszName);
    return c ? DeleteByIndex(c->GetIndex()) : CONDUIT_CATEGORY_NOT_FOUND;
}

CPCategory* CCategoryList::FindByID(LONG id) const
{
    for (CPCategory* c : m_pSlots)
        if (c && c->GetID() == id)
            return c;
    return nullptr;
}

namespace {
char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Case-blind equality that compares double-byte characters as they are, so
// that a trail byte is never folded as if it were a letter.
bool EqualNoCase932(const char* a, const char* b)
{
    while (*a && *b) {
        int la = afx::CharLength932(a), lb = afx::CharLength932(b);
        if (la != lb)
            return false;
        if (la == 2) {
            if (a[0] != b[0] || a[1] != b[1])
                return false;
        } else if (FoldAscii(*a) != FoldAscii(*b)) {
            return false;
        }
        a += la;
        b += lb;
    }
    return *a == *b;
}
} // namespace

CPCategory* CCategoryList::FindByName(const char* pszName) const
{
    if (!pszName)
        return nullptr;
    for (CPCategory* c : m_pSlots)
        if (c && EqualNoCase932(c->GetName(), pszName))
            return c;
    return nullptr;
}

CPCategory* CCategoryList::GetByIndex(LONG index) const
{
    return index < 0 || index >= static_cast<LONG>(kCategoryCount) ? nullptr : m_pSlots[index];
}

LONG CCategoryList::GetFreeIndex() const
{
    for (LONG i = 1; i < static_cast<LONG>(kCategoryCount); ++i)
        if (!m_pSlots[i])
            return i;
    return -1;
}

CPCategory* CCategoryList::GetFirst()
{
    m_nIterator = 0;
    return GetNext();
}

CPCategory* CCategoryList::GetNext()
{
    while (m_nIterator < static_cast<int>(kCategoryCount)) {
        CPCategory* c = m_pSlots[m_nIterator++];
        if (c)
            return c;
    }
    return nullptr;
}

void CCategoryList::MarkAllChanged()
{
    for (CPCategory* c : m_pSlots)
        if (c)
            c->SetChanged(1);
}

int CCategoryList::Equal(const CCategoryList& other) const
{
    for (DWORD i = 0; i < kCategoryCount; ++i) {
        const CPCategory* a = m_pSlots[i];
        const CPCategory* b = other.m_pSlots[i];
        if (!a && !b)
            continue;
        if (!a || !b)
            return 0;
        if (a->GetIndex() != b->GetIndex() || a->GetID() != b->GetID() || std::strcmp(a->GetName(), b->GetName()) != 0)
            return 0;
    }
    return 1;
}
