#include "TessalyTable.h"
#include "Blowfish.h"
#include "Md5.h"

#include <cstring>
#include <utility>

namespace NorvaneCommon {

namespace {
void SwapWords(unsigned char* p, DWORD dwLength)
{
    for (DWORD i = 0; i + 4 <= dwLength; i += 4) {
        std::swap(p[i], p[i + 3]);
        std::swap(p[i + 1], p[i + 2]);
    }
}
} // namespace

void EncodeMemoData(CGenCoder* pCoder, unsigned char* pData, DWORD dwLength)
{
    SwapWords(pData, dwLength);
    pCoder->Encode(pData, dwLength);
    SwapWords(pData, dwLength);
}

void DecodeMemoData(CGenCoder* pCoder, unsigned char* pData, DWORD dwLength)
{
    SwapWords(pData, dwLength);
    pCoder->Decode(pData, dwLength);
    SwapWords(pData, dwLength);
}

// ------------------------------------------------------------- CTessalyRecord

CTessalyRecord::CTessalyRecord() : m_byLeading(kMemoLeadingDefault), m_bIntact(1) {}

CTessalyRecord::CTessalyRecord(const CTessalyRecord& other)
    : CGenRecord(other), m_byLeading(other.m_byLeading), m_strMemo(other.m_strMemo), m_bIntact(other.m_bIntact)
{
}

CTessalyRecord::CTessalyRecord(StorageRecordType* pStorage, CGenCoder* pCoder)
    : CGenRecord(pStorage), m_byLeading(kMemoLeadingDefault), m_bIntact(1)
{
    DWORD length = pStorage->dwDataLength;
    if (pCoder) {
        // A private copy: the table's working buffer stays as read. The
        // table never hands over more than one stored record's worth.
        unsigned char plain[kMaxStoredRecord];
        if (length > sizeof plain)
            length = sizeof plain;
        std::memcpy(plain, pStorage->Data(), length);
        DecodeMemoData(pCoder, plain, length);
        ExtractRawData(length, plain);
    } else {
        ExtractRawData(length, pStorage->Data());
    }
}

CTessalyRecord::~CTessalyRecord() {}

void CTessalyRecord::ExtractRawData(DWORD dwLength, unsigned char* pData)
{
    m_byLeading = dwLength > 0 ? pData[0] : 0;
    const char* text = reinterpret_cast<const char*>(pData + 2);
    DWORD room = dwLength > 2 ? dwLength - 2 : 0;
    const void* nul = room ? std::memchr(text, 0, room) : nullptr;
    m_bIntact = nul != nullptr;
    DWORD n = nul ? static_cast<DWORD>(static_cast<const char*>(nul) - text) : room;
    // Each line feed becomes CR LF, in one allocation. The scan steps over
    // double-byte characters as SubstNLwithCR does, so that damaged text
    // with a lead byte before a line feed reads and writes back unchanged.
    int breaks = 0;
    for (DWORD i = 0; i < n; ++i) {
        if (afx::IsLeadByte932(static_cast<unsigned char>(text[i])))
            ++i;
        else
            breaks += text[i] == '\n';
    }
    char* out = m_strMemo.GetBufferSetLength(static_cast<int>(n) + breaks);
    for (DWORD i = 0; i < n; ++i) {
        char c = text[i];
        if (afx::IsLeadByte932(static_cast<unsigned char>(c)) && i + 1 < n) {
            *out++ = c;
            c = text[++i];
        } else if (c == '\n') {
            *out++ = '\r';
        }
        *out++ = c;
    }
    m_strMemo.ReleaseBuffer(static_cast<int>(n) + breaks);
}

void CTessalyRecord::CompactRawData(unsigned char* pOut, DWORD* pdwLength)
{
    CString text(m_strMemo);
    SubstCRwithNL(text);
    DWORD n = static_cast<DWORD>(text.GetLength());
    DWORD need = StoredLength(n);
    // Nothing is written past the room offered; the caller sees the length
    // needed and refuses the record.
    if (need > *pdwLength) {
        *pdwLength = need;
        return;
    }
    std::memset(pOut, 0, need);
    pOut[0] = m_byLeading;
    std::memcpy(pOut + 2, text.GetString(), n);
    *pdwLength = need;
}

void CTessalyRecord::ConvertToStorageRecord(StorageRecordType* pStorage, CGenCoder* pCoder)
{
    CGenRecord::ConvertToStorageRecord(pStorage, pCoder);
    DWORD room = pStorage->dwDataLength;
    DWORD length = room;
    unsigned char* data = pStorage->Data();
    CompactRawData(data, &length);
    pStorage->dwDataLength = length;
    if (pCoder && length <= room)
        EncodeMemoData(pCoder, data, length);
}

// -------------------------------------------------------------- CTessalyTable

CTessalyTable::CTessalyTable() {}

CTessalyTable::~CTessalyTable() {}

CGenRecord* CTessalyTable::ConstructRecord(StorageRecordType* pStorage, CGenCoder* pCoder)
{
    CTessalyRecord* pRecord = new CTessalyRecord(pStorage, pCoder);
    if (!pRecord->IsIntact()) {
        delete pRecord;
        return nullptr;
    }
    return pRecord;
}

CGenCoder* CTessalyTable::ConstructCoder() { return new CBlowfishCoder; }

int CTessalyTable::IsAppInfoValid()
{
    // A block too short for the digest cannot say whether a password is needed.
    DWORD size;
    return !m_pAppInfo || (GetAppInfoData(&size) && size >= kAppInfoHintOffset);
}

int CTessalyTable::IsPasswordSpecified()
{
    DWORD size;
    const unsigned char* data = GetAppInfoData(&size);
    if (!data || size < kAppInfoHintOffset)
        return 0;
    for (DWORD i = 0; i < kAppInfoDigestSize; ++i)
        if (data[kAppInfoDigestOffset + i])
            return 1;
    return 0;
}

int CTessalyTable::IsPasswordOK(const char* pszPassword)
{
    if (!pszPassword)
        return 0;
    DWORD size;
    const unsigned char* data = GetAppInfoData(&size);
    if (!data || size < kAppInfoHintOffset)
        return 0;
    unsigned char digest[16];
    CMd5::Digest(pszPassword, std::strlen(pszPassword), digest);
    return std::memcmp(digest, data + kAppInfoDigestOffset, kAppInfoDigestSize) == 0;
}

void CTessalyTable::GetPasswdHint(CString& strHint)
{
    strHint.Empty();
    DWORD size;
    const unsigned char* data = GetAppInfoData(&size);
    if (!data || size <= kAppInfoHintOffset)
        return;
    const char* hint = reinterpret_cast<const char*>(data + kAppInfoHintOffset);
    DWORD room = size - kAppInfoHintOffset;
    const void* nul = std::memchr(hint, 0, room);
    strHint = CString(hint, static_cast<int>(nul ? static_cast<const char*>(nul) - hint : room));
}

} // namespace NorvaneCommon
