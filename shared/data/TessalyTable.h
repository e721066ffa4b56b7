// The memo data file: memo records (leading byte and Shift-JIS text, stored
// enciphered) and the table that checks the password against the digest
// kept in the application-info block.
#pragma once

#include "GenTable.h"

namespace NorvaneCommon {

// Memo fields of the application-info data, after the category block.
enum : DWORD {
    kAppInfoKeptOffset = 276,      // 32 bytes of the handheld application, kept as read
    kAppInfoDigestOffset = 308,    // MD5 of the password; all zero = no password
    kAppInfoDigestSize = 16,
    kAppInfoHintOffset = 324,      // NUL-terminated hint text
    kMemoLeadingDefault = 0x20,
    kMaxMemoText = 65477           // bytes, with single line feeds
};

class NVCOMN_API CTessalyRecord : public CGenRecord {
public:
    CTessalyRecord();
    CTessalyRecord(const CTessalyRecord& other);
    CTessalyRecord(StorageRecordType* pStorage, CGenCoder* pCoder);
    ~CTessalyRecord() override;

    void GetMemo(CString& strMemo) const { strMemo = m_strMemo; }
    CString& GetMemo() { return m_strMemo; }
    const CString& GetMemo() const { return m_strMemo; }
    void SetMemo(const CString& strMemo) { m_strMemo = strMemo; }
    BYTE GetLeadingByte() const { return m_byLeading; }

    void ConvertToStorageRecord(StorageRecordType* pStorage, CGenCoder* pCoder) override;

    // False when the stored data held no terminated text (a damaged file).
    int IsIntact() const { return m_bIntact; }

    // Stored data length of a memo text with n bytes after CR LF became LF.
    static DWORD StoredLength(DWORD n) { return (n + 3 + 7) & ~7u; }

protected:
    void ExtractRawData(DWORD dwLength, unsigned char* pData);
    void CompactRawData(unsigned char* pOut, DWORD* pdwLength);

    BYTE m_byLeading;
    CString m_strMemo;
    int m_bIntact;
};

class NVCOMN_API CTessalyTable : public CGenTable {
public:
    CTessalyTable();
    ~CTessalyTable() override;

    void GetPasswdHint(CString& strHint);

protected:
    CGenRecord* ConstructRecord(StorageRecordType* pStorage, CGenCoder* pCoder) override;
    CGenCoder* ConstructCoder() override;
    int IsPasswordSpecified() override;
    int IsPasswordOK(const char* pszPassword) override;
    int IsAppInfoValid() override;
};

// Enciphers or deciphers memo data in place, each 8-byte block taken as two
// big-endian words as the handheld does; a tail shorter than 8 stays as is.
NVCOMN_API void EncodeMemoData(CGenCoder* pCoder, unsigned char* pData, DWORD dwLength);
NVCOMN_API void DecodeMemoData(CGenCoder* pCoder, unsigned char* pData, DWORD dwLength);

} // namespace NorvaneCommon
