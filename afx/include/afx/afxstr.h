// CString: a byte string in the ANSI code page (Shift-JIS on the target), one
// pointer wide like the framework's own. Every search for a character or a
// substring steps over double-byte characters, so a trail byte never matches.
#pragma once

#include "afx/afxtypes.h"
#include <cstdarg>

class CString {
public:
    CString();
    CString(const CString& other);
    CString(CString&& other) noexcept;
    CString(const char* psz);
    CString(const char* pch, int nLength);
    CString(char ch, int nRepeat = 1);
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator=(const char* psz);
    CString& operator=(char ch);

    CString& operator+=(const CString& s);
    CString& operator+=(const char* psz);
    CString& operator+=(char ch);

    int GetLength() const { return Header()->nDataLength; }
    bool IsEmpty() const { return GetLength() == 0; }
    void Empty();
    char GetAt(int nIndex) const { return m_pchData[nIndex]; }
    void SetAt(int nIndex, char ch);
    char operator[](int nIndex) const { return m_pchData[nIndex]; }
    operator const char*() const { return m_pchData; }
    const char* GetString() const { return m_pchData; }

    // Direct access to the buffer; ReleaseBuffer(-1) takes the length up to the NUL.
    char* GetBuffer(int nMinBufLength);
    char* GetBufferSetLength(int nNewLength);
    void ReleaseBuffer(int nNewLength = -1);

    int Compare(const char* psz) const;          // multi-byte order, as _mbscmp
    int Find(char ch, int nStart = 0) const;
    int Find(const char* pszSub, int nStart = 0) const;
    int ReverseFind(char ch) const;
    int FindOneOf(const char* pszCharSet) const;
    int Replace(const char* pszOld, const char* pszNew);
    int Replace(char chOld, char chNew);
    int Insert(int nIndex, const char* psz);
    int Delete(int nIndex, int nCount = 1);

    CString Left(int nCount) const;
    CString Right(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;

    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim() { return TrimRight().TrimLeft(); }
    CString& MakeUpper();   // ASCII letters only; double-byte characters untouched
    CString& MakeLower();

#if defined(_WIN32)
    // A string resource, found through the resource chain (afxwin).
    BOOL LoadString(UINT nID);
#endif

    void Format(const char* pszFormat, ...);
    void FormatV(const char* pszFormat, va_list args);

    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, const char* b);
    friend CString operator+(const char* a, const CString& b);
    friend CString operator+(const CString& a, char b);

private:
    struct Data {
        int nDataLength;
        int nAllocLength;
        char* chars() { return reinterpret_cast<char*>(this + 1); }
    };
    Data* Header() const { return reinterpret_cast<Data*>(m_pchData) - 1; }
    void Assign(const char* pch, int nLength);
    void Append(const char* pch, int nLength);
    void Reserve(int nLength, bool keep);
    void Release();
    bool IsShared() const;

    char* m_pchData;
};

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator==(const char* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const char* b);
bool operator!=(const char* a, const CString& b);
bool operator<(const CString& a, const CString& b);

static_assert(sizeof(CString) == sizeof(char*), "CString is one pointer wide");
