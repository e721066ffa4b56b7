#include "Iterator.h"
#include "TessalyTable.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace NorvaneCommon {

namespace {
// Room for the largest key that a sort places in the view's block.
constexpr size_t MaxOf(size_t a, size_t b) { return a > b ? a : b; }
constexpr size_t kKeyAlign = MaxOf(alignof(CIntKey), MaxOf(alignof(CLongKey), alignof(CStringKey)));
constexpr size_t kKeySlot =
    (MaxOf(sizeof(CIntKey), MaxOf(sizeof(CLongKey), sizeof(CStringKey))) + kKeyAlign - 1) / kKeyAlign * kKeyAlign;
static_assert(sizeof(CSortKey) % kKeyAlign == 0, "key slots follow the entries aligned");
static_assert(alignof(CSortKey) <= alignof(std::max_align_t), "the block is allocated with operator new");

template <typename T>
int Sign3(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}
} // namespace

// ---------------------------------------------------------------------------
// Keys

CKey::~CKey() {}

eKeyTypes CKey::GetKeyType() const { return m_eKeyType; }

int CKey::CompareForeign(const CKey* pOther) const
{
    if (!pOther)
        return 1;
    return Sign3(static_cast<int>(m_eKeyType), static_cast<int>(TypeOf(pOther)));
}

CCompositeKey::CCompositeKey() : CKey(KeyTypeComposite) {}

CCompositeKey::~CCompositeKey()
{
    for (int i = 0; i < m_keys.GetSize(); ++i)
        delete static_cast<CKey*>(m_keys[i]);
    m_keys.RemoveAll();
}

void CCompositeKey::AddKey(CKey* pKey)
{
    // Own the key even if the array cannot grow.
    try {
        m_keys.Add(pKey);
    } catch (...) {
        delete pKey;
        throw;
    }
}

int CCompositeKey::Compare(const CKey* pOther) const
{
    if (!pOther || TypeOf(pOther) != KeyTypeComposite)
        return CompareForeign(pOther);
    const CCompositeKey* pComposite = static_cast<const CCompositeKey*>(pOther);
    // Only the members both have are compared pairwise; a composite that is a
    // prefix of the other sorts first.
    const int nMine = m_keys.GetSize();
    const int nTheirs = pComposite->m_keys.GetSize();
    const int n = nMine < nTheirs ? nMine : nTheirs;
    for (int i = 0; i < n; ++i) {
        const CKey* pKey = static_cast<const CKey*>(m_keys[i]);
        const CKey* pOtherKey = static_cast<const CKey*>(pComposite->m_keys[i]);
        int result = pKey ? pKey->Compare(pOtherKey) : (pOtherKey ? -1 : 0);
        if (result != 0)
            return result;
    }
    return Sign3(nMine, nTheirs);
}

CIntKey::~CIntKey() {}

int CIntKey::Compare(const CKey* pOther) const
{
    if (!pOther || TypeOf(pOther) != KeyTypeInt)
        return CompareForeign(pOther);
    return Sign3(m_nValue, static_cast<const CIntKey*>(pOther)->m_nValue);
}

CLongKey::~CLongKey() {}

int CLongKey::Compare(const CKey* pOther) const
{
    if (!pOther || TypeOf(pOther) != KeyTypeLong)
        return CompareForeign(pOther);
    return Sign3(m_lValue, static_cast<const CLongKey*>(pOther)->m_lValue);
}

CStringKey::~CStringKey() {}

int CStringKey::Compare(const CKey* pOther) const
{
    if (!pOther || TypeOf(pOther) != KeyTypeString)
        return CompareForeign(pOther);
    int result = afx::MbsCompare932(m_strValue, static_cast<const CStringKey*>(pOther)->m_strValue);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

// ---------------------------------------------------------------------------
// CGenIterator

CGenIterator::CGenIterator(CGenTable& table)
    : m_pTable(&table), m_nCount(0), m_pSortKeys(nullptr), m_nCurrentRow(0)
{
}

CGenIterator::~CGenIterator() { RemoveSortKeyPtrs(); }

void CGenIterator::RemoveSortKeyPtrs()
{
    if (m_pSortKeys) {
        // The keys live in the entry array's block: destroy, don't delete.
        for (int i = 0; i < m_nCount; ++i) {
            if (m_pSortKeys[i].m_pKey)
                m_pSortKeys[i].m_pKey->~CKey();
        }
        ::operator delete(m_pSortKeys);
    }
    m_pSortKeys = nullptr;
    m_nCount = 0;
}

CGenRecord* CGenIterator::GetRecordAt(int nPosition) { return m_pTable->GetRecord(nPosition); }

int CGenIterator::QSortCmp(const void* pLeft, const void* pRight)
{
    return static_cast<const CSortKey*>(pLeft)->m_pKey->Compare(static_cast<const CSortKey*>(pRight)->m_pKey);
}

int CGenIterator::QRevSortCmp(const void* pLeft, const void* pRight)
{
    return static_cast<const CSortKey*>(pRight)->m_pKey->Compare(static_cast<const CSortKey*>(pLeft)->m_pKey);
}

// One block holds the entry array and, behind it, a slot for each record's
// key: one allocation per sort instead of one per record, and keys packed
// together, which keeps the comparisons inside qsort in cache.
int CGenIterator::BeginSort()
{
    RemoveSortKeyPtrs();
    m_nCurrentRow = 0;
    const int n = static_cast<int>(m_pTable->GetRecordCount());
    if (n > 0) {
        if (static_cast<size_t>(n) > static_cast<size_t>(-1) / (sizeof(CSortKey) + kKeySlot))
            throw std::bad_alloc();
        m_pSortKeys = static_cast<CSortKey*>(::operator new(static_cast<size_t>(n) * (sizeof(CSortKey) + kKeySlot)));
        // Entries become live as their keys are placed (m_nCount grows).
    }
    return n;
}

void CGenIterator::PlaceEntry(int nRecords, int nPosition, KeyMaker make)
{
    void* pSlot = reinterpret_cast<unsigned char*>(m_pSortKeys + nRecords) + static_cast<size_t>(nPosition) * kKeySlot;
    CSortKey* pEntry = new (m_pSortKeys + nPosition) CSortKey;
    pEntry->m_nPosition = nPosition;
    pEntry->m_pKey = make(pSlot, GetRecordAt(nPosition));
    m_nCount = nPosition + 1;
}

void CGenIterator::BuildView(KeyMaker make)
{
    const int n = BeginSort();
    try {
        for (int i = 0; i < n; ++i)
            PlaceEntry(n, i, make);
    } catch (...) {
        RemoveSortKeyPtrs();   // no half-built view
        throw;
    }
    if (m_nCount > 1)
        std::qsort(m_pSortKeys, static_cast<size_t>(m_nCount), sizeof(CSortKey), QSortCmp);
}

namespace {
CKey* MakeIndexKey(void* pSlot, CGenRecord* pRecord) { return new (pSlot) CIntKey(static_cast<int>(pRecord->GetIndex())); }
CKey* MakeIdKey(void* pSlot, CGenRecord* pRecord) { return new (pSlot) CIntKey(static_cast<int>(pRecord->GetID())); }
CKey* MakeCategoryKey(void* pSlot, CGenRecord* pRecord)
{
    return new (pSlot) CIntKey(static_cast<int>(pRecord->GetCategory()));
}
CKey* MakeMemoKey(void* pSlot, CGenRecord* pRecord)
{
    return new (pSlot) CStringKey(static_cast<CTessalyRecord*>(pRecord)->GetMemo());
}
} // namespace

LONG CGenIterator::SortByRecordIndex()
{
    BuildView(MakeIndexKey);
    return 0;
}

LONG CGenIterator::SortByRecordId()
{
    BuildView(MakeIdKey);
    return 0;
}

LONG CGenIterator::SortByCatId()
{
    BuildView(MakeCategoryKey);
    return 0;
}

LONG CGenIterator::FindFirst(CGenRecord*& pRecord, int bSkipDeleted)
{
    m_nCurrentRow = 0;
    return FindNext(pRecord, bSkipDeleted);
}

LONG CGenIterator::FindNext(CGenRecord*& pRecord, int bSkipDeleted)
{
    if (m_nCurrentRow < 0)
        m_nCurrentRow = 0;
    while (m_nCurrentRow < m_nCount) {
        CGenRecord* pFound = GetRecordAt(m_pSortKeys[m_nCurrentRow].m_nPosition);
        ++m_nCurrentRow;
        // A position the table no longer has (it was reopened smaller) is
        // passed over rather than handed out as a record.
        if (!pFound)
            continue;
        if (bSkipDeleted && pFound->IsDeleted())
            continue;
        pRecord = pFound;
        return 0;
    }
    pRecord = nullptr;
    return -1;
}

LONG CGenIterator::FindByField(eRecordField eField, int nValue, CGenRecord*& pRecord, int bSkipDeleted)
{
    const DWORD wanted = static_cast<DWORD>(nValue);
    for (LONG result = FindFirst(pRecord, bSkipDeleted); result == 0; result = FindNext(pRecord, bSkipDeleted)) {
        DWORD value = 0;
        switch (eField) {
        case FieldIndex: value = pRecord->GetIndex(); break;
        case FieldId: value = pRecord->GetID(); break;
        case FieldCategory: value = pRecord->GetCategory(); break;
        }
        if (value == wanted)
            return 0;
    }
    return -1;
}

LONG CGenIterator::FindByRecordIndex(int nIndex, CGenRecord*& pRecord, int bSkipDeleted)
{
    return FindByField(FieldIndex, nIndex, pRecord, bSkipDeleted);
}

LONG CGenIterator::FindByRecordId(int nId, CGenRecord*& pRecord, int bSkipDeleted)
{
    return FindByField(FieldId, nId, pRecord, bSkipDeleted);
}

LONG CGenIterator::FindByCatId(int nCatId, CGenRecord*& pRecord, int bSkipDeleted)
{
    return FindByField(FieldCategory, nCatId, pRecord, bSkipDeleted);
}

LONG CGenIterator::GetAt(CGenRecord*& pRecord, LONG lRow)
{
    pRecord = (lRow >= 0 && lRow < m_nCount) ? GetRecordAt(m_pSortKeys[lRow].m_nPosition) : nullptr;
    return pRecord ? 0 : -1;
}

// ---------------------------------------------------------------------------
// CTessalyIterator

CTessalyIterator::CTessalyIterator(CGenTable& table) : CGenIterator(table) {}

CTessalyIterator::~CTessalyIterator() {}

LONG CTessalyIterator::SortByAlphabetical()
{
    BuildView(MakeMemoKey);
    return 0;
}

} // namespace NorvaneCommon
