// One record as the conduit moves it between the handheld, the desktop file
// and the archives: identity, place, category, status and opaque data.
#pragma once

#include "ConduitResult.h"
#include "SyncMgr.h"

class CSyncRecord {
public:
    // Status flags.
    enum : DWORD { StatusDeleted = 0x1, StatusArchived = 0x2, StatusModified = 0x4, StatusNew = 0x8 };
    // Status codes besides the flags.
    enum : DWORD { StatusCodeNone = 0x20, StatusCodeMissing = 0x40 };
    // Marks.
    enum : DWORD { MarkUnvisited = 0x1 };
    enum : DWORD { NoID = 0xFFFFFFFF };

    CSyncRecord();
    CSyncRecord(const CSyncRecord& other);
    CSyncRecord& operator=(const CSyncRecord& other);
    ~CSyncRecord();

    DWORD GetID() const { return m_dwID; }
    void SetID(DWORD id) { m_dwID = id; }
    LONG GetPosition() const { return m_lPosition; }
    void SetPosition(LONG pos) { m_lPosition = pos; }
    DWORD GetCategory() const { return m_dwCategory; }
    void SetCategory(DWORD category) { m_dwCategory = category; }
    BYTE GetHandle() const { return m_byHandle; }
    void SetHandle(BYTE h) { m_byHandle = h; }
    int IsPrivate() const { return m_bPrivate != 0; }
    void SetPrivate(int on) { m_bPrivate = on ? 1 : 0; }
    LONG GetPositionOverride() const { return m_lPositionOverride; }
    void SetPositionOverride(LONG pos) { m_lPositionOverride = pos; }

    DWORD GetFlags() const { return m_dwFlags; }
    void SetFlags(DWORD flags) { m_dwFlags = flags; }
    int IsDeleted() const { return (m_dwFlags & StatusDeleted) != 0; }
    int IsArchived() const { return (m_dwFlags & StatusArchived) != 0; }
    int IsModified() const { return (m_dwFlags & StatusModified) != 0; }
    int IsNew() const { return (m_dwFlags & StatusNew) != 0; }
    void SetDeleted(int on) { SetFlag(StatusDeleted, on); }
    void SetArchived(int on) { SetFlag(StatusArchived, on); }
    void SetModified(int on) { SetFlag(StatusModified, on); }
    void SetNew(int on) { SetFlag(StatusNew, on); }
    // The flags, or 0x20 when there are none.
    DWORD GetStatusCode() const { return m_dwFlags ? m_dwFlags : DWORD(StatusCodeNone); }
    // Clears the flags and the marks.
    void ResetStatus()
    {
        m_dwFlags = 0;
        m_dwMarks = 0;
    }

    DWORD GetMarks() const { return m_dwMarks; }
    void SetMarks(DWORD marks) { m_dwMarks = marks; }
    int IsUnvisited() const { return (m_dwMarks & MarkUnvisited) != 0; }
    void SetUnvisited(int on) { m_dwMarks = on ? (m_dwMarks | MarkUnvisited) : (m_dwMarks & ~DWORD(MarkUnvisited)); }

    const BYTE* GetData() const { return m_pData; }
    DWORD GetDataLength() const { return m_dwLength; }
    // Copies the bytes; CONDUIT_NO_MEMORY when they cannot be held.
    LONG SetData(const void* pData, DWORD dwLength);

    // Back to a record with no ID, no position and no data.
    void Reset();

    // 0 equal, 1 data lengths differ, 2 bytes differ, 3 categories differ,
    // 4 private flags differ; checked in this order.
    int Compare(const CSyncRecord& other) const;

    // Which text describes the record in the log: 3379 ("Record ID %u") with
    // its ID when it has one (or when neither ID nor position is known),
    // else 3380 ("Record Index %u") with its position.
    unsigned GetDescriptionMessage(DWORD* pdwValue) const;

    // From a raw record as the Sync Manager filled it.
    LONG FromRaw(const SyncRawRecord& raw);
    // Into a raw record whose buffer the caller lends; CONDUIT_BUFFER_TOO_SMALL
    // when the data does not fit.
    LONG ToRaw(SyncRawRecord& raw) const;

private:
    void SetFlag(DWORD flag, int on) { m_dwFlags = on ? (m_dwFlags | flag) : (m_dwFlags & ~flag); }

    DWORD m_dwID;
    LONG m_lPosition;
    DWORD m_dwCategory;
    DWORD m_dwFlags;
    BYTE* m_pData;
    DWORD m_dwLength;
    BYTE m_byHandle;
    DWORD m_bPrivate;
    DWORD m_dwMarks;
    LONG m_lPositionOverride;
};
