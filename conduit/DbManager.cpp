#include "DbManager.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

CDbManager::CDbManager(LONG lSyncType, DWORD dwCaps, CSyncLog* pLog)
    : m_lSyncType(lSyncType), m_dwCaps(dwCaps), m_pLog(pLog), m_pCategories(nullptr), m_ppRecords(nullptr),
      m_nCapacity(0), m_nRecords(0), m_nEnd(0), m_nFirstFree(0), m_eIterMode(IterNone), m_nIterPos(0),
      m_dwIterCategory(0), m_dwIterMask(0)
{
}

CDbManager::~CDbManager()
{
    RemoveAllRecords();
    std::free(m_ppRecords);
    delete m_pCategories;
}

void CDbManager::SetCategoryList(CCategoryList* pList)
{
    if (pList != m_pCategories)
        delete m_pCategories;
    m_pCategories = pList;
}

LONG CDbManager::Grow(int nCapacity)
{
    if (nCapacity <= m_nCapacity)
        return CONDUIT_OK;
    void* p = std::realloc(m_ppRecords, sizeof(CSyncRecord*) * static_cast<size_t>(nCapacity));
    if (!p)
        return CONDUIT_NO_MEMORY;
    m_ppRecords = static_cast<CSyncRecord**>(p);
    std::fill(m_ppRecords + m_nCapacity, m_ppRecords + nCapacity, nullptr);
    m_nCapacity = nCapacity;
    return CONDUIT_OK;
}

void CDbManager::Place(LONG position, CSyncRecord* p)
{
    m_ppRecords[position] = p;
    p->SetPosition(position);
    m_byId.emplace(p->GetID(), position);
    ++m_nRecords;
    if (position >= m_nEnd)
        m_nEnd = position + 1;
}

CSyncRecord* CDbManager::Take(LONG position)
{
    CSyncRecord* p = m_ppRecords[position];
    if (!p)
        return nullptr;
    auto range = m_byId.equal_range(p->GetID());
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == position) {
            m_byId.erase(it);
            break;
        }
    }
    m_ppRecords[position] = nullptr;
    --m_nRecords;
    if (position < m_nFirstFree)
        m_nFirstFree = position;
    while (m_nEnd > 0 && !m_ppRecords[m_nEnd - 1])
        --m_nEnd;
    return p;
}

void CDbManager::Swap(LONG a, LONG b)
{
    if (a == b)
        return;
    CSyncRecord* pa = Take(a);
    CSyncRecord* pb = Take(b);
    if (pb)
        Place(a, pb);
    if (pa)
        Place(b, pa);
}

LONG CDbManager::AddToArray(const CSyncRecord& rec, LONG* pPosition)
{
    while (m_nFirstFree < m_nCapacity && m_ppRecords[m_nFirstFree])
        ++m_nFirstFree;
    if (m_nFirstFree >= m_nCapacity) {
        if (LONG e = Grow(m_nCapacity + GrowBy))
            return e;
    }
    CSyncRecord* p = new (std::nothrow) CSyncRecord(rec);
    if (!p || p->GetDataLength() != rec.GetDataLength()) {
        delete p;
        return CONDUIT_NO_MEMORY;
    }
    LONG position = m_nFirstFree++;
    Place(position, p);
    if (pPosition)
        *pPosition = position;
    return CONDUIT_OK;
}

LONG CDbManager::SetAt(LONG position, const CSyncRecord& rec)
{
    if (position < 0)
        return CONDUIT_BAD_INDEX;
    if (position >= m_nCapacity) {
        int want = m_nCapacity + GrowBy;
        if (position >= want)
            want = position + 1;
        if (LONG e = Grow(want))
            return e;
    }
    CSyncRecord* p = new (std::nothrow) CSyncRecord(rec);
    if (!p || p->GetDataLength() != rec.GetDataLength()) {
        delete p;
        return CONDUIT_NO_MEMORY;
    }
    delete Take(position);
    Place(position, p);
    return CONDUIT_OK;
}

LONG CDbManager::RemoveAt(LONG position)
{
    if (position < 0 || position >= m_nCapacity)
        return CONDUIT_BAD_INDEX;
    CSyncRecord* p = Take(position);
    if (!p)
        return CONDUIT_NO_MORE;
    delete p;
    return CONDUIT_OK;
}

void CDbManager::RemoveAllRecords()
{
    for (int i = 0; i < m_nEnd; ++i) {
        delete m_ppRecords[i];
        m_ppRecords[i] = nullptr;
    }
    m_byId.clear();
    m_nRecords = 0;
    m_nEnd = 0;
    m_nFirstFree = 0;
}

CSyncRecord* CDbManager::GetAt(LONG position) const
{
    return position < 0 || position >= m_nCapacity ? nullptr : m_ppRecords[position];
}

LONG CDbManager::FindPositionById(DWORD id) const
{
    LONG best = -1;
    auto range = m_byId.equal_range(id);
    for (auto it = range.first; it != range.second; ++it)
        if (best < 0 || it->second < best)
            best = it->second;
    return best;
}

CSyncRecord* CDbManager::FindById(DWORD id) const { return GetAt(FindPositionById(id)); }

LONG CDbManager::ReadCopyById(DWORD id, CSyncRecord& rec) const
{
    CSyncRecord* p = FindById(id);
    if (!p)
        return CONDUIT_NO_MORE;
    rec = *p;
    return CONDUIT_OK;
}

LONG CDbManager::ReadCopyByOrdinal(int n, CSyncRecord& rec) const
{
    if (n < 0 || n >= m_nRecords)
        return CONDUIT_NO_MORE;
    for (int i = 0; i < m_nEnd; ++i) {
        if (m_ppRecords[i] && n-- == 0) {
            rec = *m_ppRecords[i];
            return CONDUIT_OK;
        }
    }
    return CONDUIT_NO_MORE;
}

LONG CDbManager::ReadCopyByIdAndCategory(DWORD id, DWORD category, CSyncRecord& rec) const
{
    auto range = m_byId.equal_range(id);
    LONG best = -1;
    for (auto it = range.first; it != range.second; ++it)
        if (m_ppRecords[it->second]->GetCategory() == category && (best < 0 || it->second < best))
            best = it->second;
    if (best < 0)
        return CONDUIT_NO_MORE;
    rec = *m_ppRecords[best];
    return CONDUIT_OK;
}

LONG CDbManager::StartAll()
{
    m_eIterMode = IterAll;
    m_nIterPos = 0;
    return CONDUIT_OK;
}

LONG CDbManager::StartChanged()
{
    ReorderChangedFirst();
    m_eIterMode = IterChanged;
    m_nIterPos = 0;
    return CONDUIT_OK;
}

LONG CDbManager::StartUnvisited()
{
    m_eIterMode = IterUnvisited;
    m_nIterPos = 0;
    return CONDUIT_OK;
}

LONG CDbManager::StartCategory(DWORD category)
{
    m_eIterMode = IterCategory;
    m_dwIterCategory = category;
    m_nIterPos = 0;
    return CONDUIT_OK;
}

LONG CDbManager::StartChangedInCategory(DWORD category)
{
    m_eIterMode = IterChangedInCategory;
    m_dwIterCategory = category;
    m_nIterPos = 0;
    return CONDUIT_OK;
}

LONG CDbManager::StartStatusMask(DWORD mask)
{
    m_eIterMode = IterStatusMask;
    m_dwIterMask = mask;
    m_nIterPos = 0;
    return CONDUIT_OK;
}

bool CDbManager::Matches(const CSyncRecord& r) const
{
    switch (m_eIterMode) {
    case IterAll: return true;
    case IterChanged: return r.GetFlags() != 0;
    case IterUnvisited: return r.IsUnvisited() != 0;
    case IterCategory: return r.GetCategory() == m_dwIterCategory;
    case IterChangedInCategory: return r.GetFlags() != 0 && r.GetCategory() == m_dwIterCategory;
    case IterStatusMask: return (r.GetStatusCode() & m_dwIterMask) != 0;
    default: return false;
    }
}

LONG CDbManager::NextFromMemory(CSyncRecord& rec)
{
    if (m_eIterMode == IterNone)
        return CONDUIT_BAD_ITERATION;
    while (m_nIterPos < m_nEnd) {
        CSyncRecord* p = m_ppRecords[m_nIterPos++];
        if (p && Matches(*p)) {
            rec = *p;
            return CONDUIT_OK;
        }
    }
    return CONDUIT_NO_MORE;
}

LONG CDbManager::Next(CSyncRecord& rec) { return NextFromMemory(rec); }

void CDbManager::ReorderChangedFirst()
{
    int k = 0;   // where the search for the next changed record goes on
    for (int i = 0; i < m_nEnd; ++i) {
        CSyncRecord* p = m_ppRecords[i];
        if (!p || p->GetFlags() != 0)
            continue;
        if (k <= i)
            k = i + 1;
        while (k < m_nEnd && (!m_ppRecords[k] || m_ppRecords[k]->GetFlags() == 0))
            ++k;
        if (k >= m_nEnd)
            break;
        Swap(i, k);
    }
}

void CDbManager::Rearrange(bool (*less)(const CSyncRecord*, const CSyncRecord*))
{
    std::vector<LONG> positions;
    std::vector<CSyncRecord*> recs;
    for (int i = 0; i < m_nEnd; ++i) {
        if (m_ppRecords[i]) {
            positions.push_back(i);
            recs.push_back(m_ppRecords[i]);
        }
    }
    std::stable_sort(recs.begin(), recs.end(), less);
    for (LONG p : positions)
        Take(p);
    for (size_t i = 0; i < positions.size(); ++i)
        Place(positions[i], recs[i]);
}

void CDbManager::ReorderById()
{
    Rearrange([](const CSyncRecord* a, const CSyncRecord* b) { return a->GetID() < b->GetID(); });
}

void CDbManager::ReorderUnvisitedFirst()
{
    Rearrange([](const CSyncRecord* a, const CSyncRecord* b) { return a->IsUnvisited() && !b->IsUnvisited(); });
}

void CDbManager::ReorderByCategory()
{
    Rearrange([](const CSyncRecord* a, const CSyncRecord* b) { return a->GetCategory() < b->GetCategory(); });
}

LONG CDbManager::GetIdList(DWORD* pIds, int* pnCount) const
{
    if (!pnCount)
        return CONDUIT_NULL_ARGUMENT;
    if (*pnCount < m_nRecords || (!pIds && m_nRecords)) {
        *pnCount = m_nRecords;
        return CONDUIT_BUFFER_TOO_SMALL;
    }
    int n = 0;
    for (int i = 0; i < m_nEnd; ++i)
        if (m_ppRecords[i])
            pIds[n++] = m_ppRecords[i]->GetID();
    *pnCount = n;
    return CONDUIT_OK;
}

LONG CDbManager::ReorderByIdList(const DWORD* pIds, int nCount)
{
    if (nCount != m_nRecords)
        return CONDUIT_ID_COUNT_MISMATCH;
    if (nCount && !pIds)
        return CONDUIT_NULL_ARGUMENT;
    // Check everything before moving anything, so a refused list changes nothing.
    std::vector<LONG> from(static_cast<size_t>(nCount));
    std::unordered_multimap<DWORD, LONG> left(m_byId);
    for (int i = 0; i < nCount; ++i) {
        auto it = left.find(pIds[i]);
        if (it == left.end())
            return CONDUIT_ID_UNKNOWN;
        from[static_cast<size_t>(i)] = it->second;
        left.erase(it);
    }
    std::vector<CSyncRecord*> recs;
    recs.reserve(from.size());
    for (LONG p : from)
        recs.push_back(m_ppRecords[p]);
    for (int i = 0; i < m_nEnd; ++i)
        if (m_ppRecords[i])
            Take(i);
    for (size_t i = 0; i < recs.size(); ++i)
        Place(static_cast<LONG>(i), recs[i]);
    m_nFirstFree = 0;
    return CONDUIT_OK;
}
