#include "SyncRecord.h"

#include <cstdlib>
#include <cstring>

CSyncRecord::CSyncRecord()
    : m_dwID(NoID), m_lPosition(-1), m_dwCategory(0), m_dwFlags(0), m_pData(nullptr), m_dwLength(0), m_byHandle(0),
      m_bPrivate(0), m_dwMarks(0), m_lPositionOverride(-1)
{
}

CSyncRecord::CSyncRecord(const CSyncRecord& other) : CSyncRecord() { *this = other; }

CSyncRecord& CSyncRecord::operator=(const CSyncRecord& other)
{
    if (this == &other)
        return *this;
    m_dwID = other.m_dwID;
    m_lPosition = other.m_lPosition;
    m_dwCategory = other.m_dwCategory;
    m_dwFlags = other.m_dwFlags;
    m_byHandle = other.m_byHandle;
    m_bPrivate = other.m_bPrivate;
    m_dwMarks = other.m_dwMarks;
    m_lPositionOverride = other.m_lPositionOverride;
    // A copy that cannot hold the data comes out without it rather than
    // sharing the other's buffer.
    if (SetData(other.m_pData, other.m_dwLength) != CONDUIT_OK)
        SetData(nullptr, 0);
    return *this;
}

CSyncRecord::~CSyncRecord() { std::free(m_pData); }

LONG CSyncRecord::SetData(const void* pData, DWORD dwLength)
{
    if (!pData || dwLength == 0) {
        std::free(m_pData);
        m_pData = nullptr;
        m_dwLength = 0;
        return CONDUIT_OK;
    }
    BYTE* p = static_cast<BYTE*>(std::malloc(dwLength));
    if (!p)
        return CONDUIT_NO_MEMORY;
    std::memcpy(p, pData, dwLength);
    std::free(m_pData);
    m_pData = p;
    m_dwLength = dwLength;
    return CONDUIT_OK;
}

void CSyncRecord::Reset()
{
    SetData(nullptr, 0);
    m_dwID = NoID;
    m_lPosition = -1;
    m_dwCategory = 0;
    m_dwFlags = 0;
    m_byHandle = 0;
    m_bPrivate = 0;
    m_dwMarks = 0;
    m_lPositionOverride = -1;
}

int CSyncRecord::Compare(const CSyncRecord& other) const
{
    if (m_dwLength != other.m_dwLength)
        return 1;
    if (m_dwLength && std::memcmp(m_pData, other.m_pData, m_dwLength) != 0)
        return 2;
    if (m_dwCategory != other.m_dwCategory)
        return 3;
    if (m_bPrivate != other.m_bPrivate)
        return 4;
    return 0;
}

unsigned CSyncRecord::GetDescriptionMessage(DWORD* pdwValue) const
{
    // A desktop record not yet known to the handheld has ID 0: no ID either.
    const bool hasId = m_dwID != 0 && m_dwID != NoID;
    if (hasId || m_lPosition == -1) {
        if (pdwValue)
            *pdwValue = m_dwID;
        return MSG_RECORD_ID;
    }
    if (pdwValue)
        *pdwValue = static_cast<DWORD>(m_lPosition);
    return MSG_RECORD_INDEX;
}

LONG CSyncRecord::FromRaw(const SyncRawRecord& raw)
{
    // A length beyond the lent buffer would read past it.
    DWORD length = raw.pData ? raw.dataLength : 0;
    if (length > raw.bufferSize)
        return CONDUIT_BUFFER_TOO_SMALL;
    if (LONG e = SetData(raw.pData, length))
        return e;
    m_dwID = raw.recordId;
    m_lPosition = raw.recordIndex;
    m_dwCategory = static_cast<DWORD>(raw.category);
    m_byHandle = raw.dbHandle;
    m_dwFlags = 0;
    if (raw.attributes & SYNC_REC_DELETED)
        m_dwFlags |= StatusDeleted;
    if (raw.attributes & SYNC_REC_DIRTY)
        m_dwFlags |= StatusModified;
    if (raw.attributes & SYNC_REC_ARCHIVED)
        m_dwFlags |= StatusArchived;
    m_bPrivate = (raw.attributes & SYNC_REC_PRIVATE) ? 1 : 0;
    return CONDUIT_OK;
}

LONG CSyncRecord::ToRaw(SyncRawRecord& raw) const
{
    raw.recordId = m_dwID;
    raw.recordIndex = static_cast<uint16_t>(m_lPositionOverride != -1 ? m_lPositionOverride : m_lPosition);
    raw.category = static_cast<int16_t>(m_dwCategory);
    if (m_dwLength) {
        if (!raw.pData || m_dwLength > raw.bufferSize)
            return CONDUIT_BUFFER_TOO_SMALL;
        std::memcpy(raw.pData, m_pData, m_dwLength);
    }
    raw.dataLength = m_dwLength;
    raw.dbHandle = m_byHandle;
    BYTE a = 0;
    if (IsDeleted())
        a |= SYNC_REC_DELETED;
    if (IsModified())
        a |= SYNC_REC_DIRTY;
    if (IsArchived())
        a |= SYNC_REC_ARCHIVED;
    if (m_bPrivate)
        a |= SYNC_REC_PRIVATE;
    raw.attributes = a;
    return CONDUIT_OK;
}
