// Sort keys and iterators: a sorted view of a table's records that never
// moves the records themselves. One key object per record, built inside the
// block of the entry array, and the entries sorted with qsort.
#pragma once

#include "NvComnApi.h"
#include "GenTable.h"
#include "afx/afx.h"

namespace NorvaneCommon {

enum eKeyTypes {
    KeyTypeComposite = 1,
    KeyTypeInt = 2,
    KeyTypeLong = 3,
    KeyTypeString = 4
};

class NVCOMN_API CKey : public CObject {
public:
    explicit CKey(eKeyTypes eType) : m_eKeyType(eType) {}
    ~CKey() override;

    // -1, 0 or 1. Keys of different kinds order by their kind, so a mixed
    // comparison is never a misread of the other key's value.
    virtual int Compare(const CKey* pOther) const = 0;
    virtual eKeyTypes GetKeyType() const;

protected:
    // The other key's kind without a virtual call: Compare runs inside qsort.
    static eKeyTypes TypeOf(const CKey* pKey) { return pKey->m_eKeyType; }
    // Result for a key that is null or of another kind than this one.
    int CompareForeign(const CKey* pOther) const;

    eKeyTypes m_eKeyType;
};

class NVCOMN_API CCompositeKey : public CKey {
public:
    CCompositeKey();
    ~CCompositeKey() override;
    CCompositeKey(const CCompositeKey&) = delete;
    CCompositeKey& operator=(const CCompositeKey&) = delete;

    int Compare(const CKey* pOther) const override;
    // Appends a member key; the composite takes ownership.
    virtual void AddKey(CKey* pKey);

    int GetKeyCount() const { return m_keys.GetSize(); }

protected:
    CPtrArray m_keys;
};

class NVCOMN_API CIntKey : public CKey {
public:
    explicit CIntKey(int nValue) : CKey(KeyTypeInt), m_nValue(nValue) {}
    ~CIntKey() override;
    int Compare(const CKey* pOther) const override;
    int GetValue() const { return m_nValue; }

protected:
    int m_nValue;
};

class NVCOMN_API CLongKey : public CKey {
public:
    explicit CLongKey(LONG lValue) : CKey(KeyTypeLong), m_lValue(lValue) {}
    ~CLongKey() override;
    int Compare(const CKey* pOther) const override;
    LONG GetValue() const { return m_lValue; }

protected:
    LONG m_lValue;
};

class NVCOMN_API CStringKey : public CKey {
public:
    explicit CStringKey(const CString& strValue) : CKey(KeyTypeString), m_strValue(strValue) {}
    ~CStringKey() override;
    // Character order of code page 932, as the runtime's _mbscmp.
    int Compare(const CKey* pOther) const override;
    const CString& GetValue() const { return m_strValue; }

protected:
    CString m_strValue;
};

// One entry of an iterator's sorted array: the key (owned by the iterator)
// and the record's position in the table's array.
class NVCOMN_API CSortKey {
public:
    CSortKey() : m_pKey(nullptr), m_nPosition(0) {}
    // Plain member-wise copies: qsort moves entries as bytes.
    CSortKey(const CSortKey& other) = default;
    CSortKey& operator=(const CSortKey& other) = default;

    CKey* m_pKey;
    int m_nPosition;
};

// Sorted view of a table. The table must outlive the iterator; the view is a
// snapshot of the record array at the last sort.
class NVCOMN_API CGenIterator {
public:
    explicit CGenIterator(CGenTable& table);
    ~CGenIterator();
    CGenIterator(const CGenIterator&) = delete;
    CGenIterator& operator=(const CGenIterator&) = delete;

    LONG SortByRecordIndex();
    LONG SortByRecordId();
    LONG SortByCatId();

    // 0 with the record, or -1 with null when no further record exists.
    LONG FindFirst(CGenRecord*& pRecord, int bSkipDeleted);
    LONG FindNext(CGenRecord*& pRecord, int bSkipDeleted);

    // The first record in sorted order with that value; the current row is
    // left just after it.
    LONG FindByRecordIndex(int nIndex, CGenRecord*& pRecord, int bSkipDeleted);
    LONG FindByRecordId(int nId, CGenRecord*& pRecord, int bSkipDeleted);
    LONG FindByCatId(int nCatId, CGenRecord*& pRecord, int bSkipDeleted);

    // The record at a row of the view: 0, or -1 with null outside the view.
    LONG GetAt(CGenRecord*& pRecord, LONG lRow);
    // Row of the record last returned by a Find; -1 before any.
    LONG GetCurrentRowPosition() const { return m_nCurrentRow - 1; }

    int GetCount() const { return m_nCount; }

protected:
    CGenRecord* GetRecordAt(int nPosition);
    void RemoveSortKeyPtrs();

    // qsort comparators over CSortKey entries: ascending and descending.
    static int QSortCmp(const void* pLeft, const void* pRight);
    static int QRevSortCmp(const void* pLeft, const void* pRight);

    enum eRecordField { FieldIndex, FieldId, FieldCategory };
    LONG FindByField(eRecordField eField, int nValue, CGenRecord*& pRecord, int bSkipDeleted);

    // A view is one block: the entry array, then a slot per record where its
    // key is constructed (keys are destroyed in place, never deleted).
    // BuildView discards the old view, makes a key per record with make
    // (placement new into the slot given) and sorts ascending.
    typedef CKey* (*KeyMaker)(void* pSlot, CGenRecord* pRecord);
    void BuildView(KeyMaker make);
    int BeginSort();
    void PlaceEntry(int nRecords, int nPosition, KeyMaker make);

    CGenTable* m_pTable;
    int m_nCount;
    CSortKey* m_pSortKeys;
    int m_nCurrentRow;
};

// Iterator over a memo table, adding the alphabetical order of memo texts.
class NVCOMN_API CTessalyIterator : public CGenIterator {
public:
    explicit CTessalyIterator(CGenTable& table);
    ~CTessalyIterator();

    LONG SortByAlphabetical();
};

} // namespace NorvaneCommon
