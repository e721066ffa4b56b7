#include "GenTable.h"
#include "Blowfish.h"
#include "Category.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace NorvaneCommon {

// ---------------------------------------------------------------- CGenRecord

CGenRecord::CGenRecord() : m_dwID(0), m_dwIndex(0), m_dwCategory(0), m_dwFlags(0), m_bPrivate(0) {}

CGenRecord::CGenRecord(const CGenRecord& other)
    : CObject(), m_dwID(other.m_dwID), m_dwIndex(other.m_dwIndex), m_dwCategory(other.m_dwCategory),
      m_dwFlags(other.m_dwFlags), m_bPrivate(other.m_bPrivate)
{
}

CGenRecord::CGenRecord(const StorageRecordType* pStorage)
    : m_dwID(pStorage->dwID), m_dwIndex(pStorage->dwIndex), m_dwCategory(pStorage->dwCategory), m_dwFlags(0),
      m_bPrivate((pStorage->wAttributes & kAttrPrivate) ? 1 : 0)
{
    WORD attr = pStorage->wAttributes;
    if (attr & kAttrUpdate)
        m_dwFlags |= FlagUpdate;
    if (attr & kAttrDeleted)
        m_dwFlags |= FlagDeleted;
    if (attr & kAttrArchived)
        m_dwFlags |= FlagArchived;
    if (attr & kAttrNew)
        m_dwFlags |= FlagNew;
}

CGenRecord::~CGenRecord() {}

void CGenRecord::ConvertToStorageRecord(StorageRecordType* pStorage, CGenCoder*)
{
    WORD attr = 0;
    if (IsUpdate())
        attr |= kAttrUpdate;
    if (IsDeleted())
        attr |= kAttrDeleted;
    if (IsArchived())
        attr |= kAttrArchived;
    if (IsNew())
        attr |= kAttrNew;
    if (IsPrivate())
        attr |= kAttrPrivate;
    pStorage->wAttributes = attr;
    pStorage->dwID = m_dwID;
    pStorage->dwCategory = m_dwCategory;
    pStorage->wTag = kFormatTag;
    pStorage->dwDataOffset = kRecordHeaderSize;
}

int CGenRecord::Compare(const CGenRecord& other) const
{
    return m_dwIndex < other.m_dwIndex ? -1 : m_dwIndex > other.m_dwIndex ? 1 : 0;
}

DWORD CGenRecord::SwapDWordToIntel(DWORD v)
{
    return ((v & 0xFFu) << 24) | ((v & 0xFF00u) << 8) | ((v >> 8) & 0xFF00u) | ((v >> 24) & 0xFFu);
}

DWORD CGenRecord::SwapDWordToMotor(DWORD v) { return SwapDWordToIntel(v); }

WORD CGenRecord::FlipWord(WORD v) { return static_cast<WORD>(((v & 0xFFu) << 8) | (v >> 8)); }

int CGenRecord::SubstCRwithNL(CString& text) { return text.Replace("\r\n", "\n") != 0; }

int CGenRecord::SubstNLwithCR(CString& text) { return text.Replace("\n", "\r\n") != 0; }

// ----------------------------------------------------------------- CGenTable

CGenTable::CGenTable()
    : m_pCoder(nullptr), m_nOpenFlags(0), m_pAppInfo(nullptr), m_pSortInfo(nullptr), m_pCategoryMgr(nullptr),
      m_bLoaded(false)
{
    std::memset(&m_header, 0, sizeof m_header);
}

CGenTable::~CGenTable() { ReleaseAllAlocatedMemory(); }

void CGenTable::ReleaseAllAlocatedMemory()
{
    delete[] m_pAppInfo;
    m_pAppInfo = nullptr;
    delete[] m_pSortInfo;
    m_pSortInfo = nullptr;
    delete m_pCoder;
    m_pCoder = nullptr;
    delete m_pCategoryMgr;
    m_pCategoryMgr = nullptr;
    for (int i = 0; i < m_records.GetSize(); ++i)
        delete static_cast<CGenRecord*>(m_records[i]);
    m_records.RemoveAll();
    m_bLoaded = false;
}

LONG CGenTable::AppendRecord(CGenRecord* pRecord)
{
    pRecord->SetIndex(static_cast<DWORD>(m_records.GetSize()));
    m_records.Add(pRecord);
    return 0;
}

CGenRecord* CGenTable::GetRecord(int nPosition) const
{
    if (nPosition < 0 || nPosition >= m_records.GetSize())
        return nullptr;
    return static_cast<CGenRecord*>(m_records[nPosition]);
}

CGenCoder* CGenTable::ConstructCoder() { return nullptr; }
int CGenTable::IsPasswordSpecified() { return 0; }
int CGenTable::IsPasswordOK(const char*) { return 1; }
int CGenTable::IsAppInfoValid() { return 1; }

unsigned char* CGenTable::GetAppInfoData(DWORD* pdwSize) const
{
    if (!m_pAppInfo) {
        if (pdwSize)
            *pdwSize = 0;
        return nullptr;
    }
    DBBlockHeader block;
    std::memcpy(&block, m_pAppInfo, sizeof block);
    if (pdwSize)
        *pdwSize = block.dwCapacity;
    return m_pAppInfo + block.dwDataOffset;
}

CCategoryMgr* CGenTable::GetCategoryManager()
{
    if (!m_pAppInfo)
        return nullptr;
    if (!m_pCategoryMgr) {
        DWORD size = 0;
        unsigned char* data = GetAppInfoData(&size);
        m_pCategoryMgr = new CCategoryMgr;
        m_pCategoryMgr->Extract(data, size);
    }
    return m_pCategoryMgr;
}

namespace {

// A block must hold its own header, say the same size as the file header
// does, and keep its data inside itself.
bool IsBlockSound(const unsigned char* p, LONG size, bool checkData)
{
    if (size < static_cast<LONG>(kBlockHeaderSize))
        return false;
    DBBlockHeader block;
    std::memcpy(&block, p, sizeof block);
    if (block.dwBlockSize != static_cast<DWORD>(size))
        return false;
    if (!checkData)
        return true;
    return block.dwDataOffset >= kBlockHeaderSize && block.dwDataOffset <= block.dwBlockSize &&
           block.dwCapacity <= block.dwBlockSize - block.dwDataOffset;
}

unsigned char* CopyBlock(const unsigned char* p, LONG size)
{
    unsigned char* copy = new unsigned char[size];
    std::memcpy(copy, p, size);
    return copy;
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

} // namespace

LONG CGenTable::OpenFrom(CString& strPath, UINT nOpenFlags, const char* pszPassword)
{
    ReleaseAllAlocatedMemory();
    std::memset(&m_header, 0, sizeof m_header);
    m_strPath = strPath;
    m_nOpenFlags = nOpenFlags;

    CFile file;
    if (!file.Open(m_strPath, nOpenFlags))
        return TableCannotOpen;
    // The whole file is read in one go; its size is checked against every
    // size it states, so nothing is read past what is there.
    long long length = file.GetLength();
    if (length > 0x7FFFFFFF)
        return TableDamaged;
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[length > 0 ? length : 1]);
    UINT got = file.Read(bytes.get(), static_cast<UINT>(length));
    file.Close();
    LONG result = Load(bytes.get(), got, pszPassword);
    if (result == TableDamaged)
        ReleaseAllAlocatedMemory();
    m_bLoaded = result == TableOK;
    return result;
}

LONG CGenTable::Load(const unsigned char* pFile, size_t nFileSize, const char* pszPassword)
{
    if (nFileSize < kHeaderSize)
        return TableDamaged;
    std::memcpy(&m_header, pFile, kHeaderSize);
    if (m_header.dwHeaderSize != kHeaderSize || m_header.lAppInfoSize < 0 || m_header.lSortInfoSize < 0)
        return TableDamaged;
    size_t pos = kHeaderSize;

    if (m_header.lAppInfoSize > 0) {
        if (static_cast<size_t>(m_header.lAppInfoSize) > nFileSize - pos ||
            !IsBlockSound(pFile + pos, m_header.lAppInfoSize, true))
            return TableDamaged;
        m_pAppInfo = CopyBlock(pFile + pos, m_header.lAppInfoSize);
        pos += m_header.lAppInfoSize;
    }
    if (m_header.lSortInfoSize > 0) {
        if (static_cast<size_t>(m_header.lSortInfoSize) > nFileSize - pos ||
            !IsBlockSound(pFile + pos, m_header.lSortInfoSize, false))
            return TableDamaged;
        m_pSortInfo = CopyBlock(pFile + pos, m_header.lSortInfoSize);
        pos += m_header.lSortInfoSize;
    }
    if (!IsAppInfoValid())
        return TableDamaged;

    if (IsPasswordSpecified()) {
        if (!pszPassword || !IsPasswordOK(pszPassword))
            return TableBadPassword;
        if (!m_pCoder)
            m_pCoder = ConstructCoder();
        if (m_pCoder)
            m_pCoder->SetPassword(pszPassword);
    } else {
        delete m_pCoder;
        m_pCoder = nullptr;
    }

    LONG count = m_header.lRecordCount;
    if (count < 0 || static_cast<size_t>(count) > (nFileSize - pos) / kRecordHeaderSize)
        return TableDamaged;
    // One working buffer for all records, aligned for the header's words.
    std::unique_ptr<void, FreeDeleter> buffer(std::malloc(kMaxStoredRecord));
    if (!buffer)
        throw std::bad_alloc();
    unsigned char* work = static_cast<unsigned char*>(buffer.get());
    StorageRecordType* pStorage = static_cast<StorageRecordType*>(buffer.get());
    m_records.SetSize(0, count > 0 ? count : 0);
    for (LONG i = 0; i < count; ++i) {
        if (nFileSize - pos < kRecordHeaderSize)
            return TableDamaged;
        DWORD size;
        std::memcpy(&size, pFile + pos, sizeof size);
        if (size < kRecordHeaderSize || size > kMaxStoredRecord || size > nFileSize - pos)
            return TableDamaged;
        std::memcpy(work, pFile + pos, size);
        if (pStorage->dwDataOffset < kRecordHeaderSize || pStorage->dwDataOffset > size ||
            pStorage->dwDataLength > size - pStorage->dwDataOffset)
            return TableDamaged;
        CGenRecord* pRecord = ConstructRecord(pStorage, m_pCoder);
        if (!pRecord)
            return TableDamaged;
        pRecord->SetIndex(static_cast<DWORD>(i));
        m_records.Add(pRecord);
        pos += size;
    }
    m_records.SetSize(m_records.GetSize(), 0);
    return TableOK;
}

LONG CGenTable::Save()
{
    // A table opened for reading only is never written.
    if (!m_bLoaded || (m_nOpenFlags & 3) == CFile::modeRead)
        return TableCannotOpen;
    // The file must be there to be written as the open flags allow (and not
    // locked by another program); probing must not truncate it.
    bool exists = CFile::Exists(m_strPath);
    if (exists || !(m_nOpenFlags & CFile::modeCreate)) {
        CFile probe;
        if (!probe.Open(m_strPath, m_nOpenFlags & ~(CFile::modeCreate | CFile::modeNoTruncate)))
            return TableCannotOpen;
        probe.Abort();
    }
    // The new content is written beside the file and replaces it only once it
    // is complete, so a failed save never leaves a half-written file.
    CString strTemp = m_strPath + ".new";
    CFile out;
    if (!out.Open(strTemp, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive))
        return TableCannotOpen;
    LONG result;
    try {
        result = WriteTo(out);
        if (result == TableOK)
            out.Flush();
        out.Close();
    } catch (...) {
        out.Abort();
        CFile::Remove(strTemp);
        throw;
    }
    if (result != TableOK || !CFile::ReplaceWith(strTemp, m_strPath)) {
        CFile::Remove(strTemp);
        return result != TableOK ? result : TableCannotOpen;
    }
    return TableOK;
}

LONG CGenTable::WriteTo(CFile& file)
{
    m_header.lRecordCount = GetRecordCount();
    if (m_pAppInfo) {
        DBBlockHeader block;
        std::memcpy(&block, m_pAppInfo, sizeof block);
        m_header.lAppInfoSize = static_cast<LONG>(block.dwBlockSize);
        if (m_pCategoryMgr) {
            DWORD size = block.dwCapacity;
            m_pCategoryMgr->Compact(m_pAppInfo + block.dwDataOffset, &size);
        }
    } else {
        m_header.lAppInfoSize = 0;
    }
    m_header.lSortInfoSize = 0;
    if (m_pSortInfo) {
        DWORD size;
        std::memcpy(&size, m_pSortInfo, sizeof size);
        m_header.lSortInfoSize = static_cast<LONG>(size);
    }

    file.Write(&m_header, kHeaderSize);
    if (m_pAppInfo)
        file.Write(m_pAppInfo, static_cast<UINT>(m_header.lAppInfoSize));
    if (m_pSortInfo)
        file.Write(m_pSortInfo, static_cast<UINT>(m_header.lSortInfoSize));

    std::unique_ptr<void, FreeDeleter> buffer(std::malloc(kWriteBufferSize));
    if (!buffer)
        throw std::bad_alloc();
    StorageRecordType* pStorage = static_cast<StorageRecordType*>(buffer.get());
    for (int i = 0; i < m_records.GetSize(); ++i) {
        std::memset(pStorage, 0, kRecordHeaderSize);
        pStorage->dwRecordSize = kWriteBufferSize;
        pStorage->dwDataLength = kMaxStoredRecord;    // the room offered
        static_cast<CGenRecord*>(m_records[i])->ConvertToStorageRecord(pStorage, m_pCoder);
        // A record the reader could not take back is not written at all.
        if (pStorage->dwDataLength > kMaxStoredRecord - kRecordHeaderSize)
            return TableDamaged;
        pStorage->dwRecordSize = pStorage->dwDataLength + kRecordHeaderSize;
        file.Write(pStorage, pStorage->dwRecordSize);
    }
    return TableOK;
}

} // namespace NorvaneCommon
