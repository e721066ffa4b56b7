#include "afx/afxstr.h"
#include "afx/mbcs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
// The shared empty string: a header with no room, followed by a NUL.
struct EmptyData {
    int nDataLength;
    int nAllocLength;
    char nul;
};
EmptyData g_empty = {0, 0, 0};
char* EmptyChars() { return &g_empty.nul; }

int SafeLength(const char* psz) { return psz ? static_cast<int>(std::strlen(psz)) : 0; }
} // namespace

bool CString::IsShared() const { return m_pchData == EmptyChars(); }

void CString::Release()
{
    if (!IsShared())
        std::free(Header());
    m_pchData = EmptyChars();
}

// Makes room for nLength bytes plus the NUL; keeps the text if asked.
void CString::Reserve(int nLength, bool keep)
{
    if (!IsShared() && Header()->nAllocLength >= nLength)
        return;
    int alloc = nLength;
    if (!IsShared() && keep)
        alloc = nLength + nLength / 2;   // amortised growth for repeated appends
    if (alloc < 15)
        alloc = 15;
    Data* p = static_cast<Data*>(std::malloc(sizeof(Data) + alloc + 1));
    if (!p)
        throw std::bad_alloc();
    p->nAllocLength = alloc;
    p->nDataLength = 0;
    p->chars()[0] = 0;
    if (keep && !IsShared()) {
        std::memcpy(p->chars(), m_pchData, GetLength() + 1);
        p->nDataLength = GetLength();
    }
    if (!IsShared())
        std::free(Header());
    m_pchData = p->chars();
}

void CString::Assign(const char* pch, int nLength)
{
    if (nLength <= 0) {
        Empty();
        return;
    }
    if (!IsShared() && pch >= m_pchData && pch <= m_pchData + GetLength()) {
        CString copy(pch, nLength);   // assigning a part of ourselves
        *this = static_cast<CString&&>(copy);
        return;
    }
    Reserve(nLength, false);
    std::memcpy(m_pchData, pch, nLength);
    m_pchData[nLength] = 0;
    Header()->nDataLength = nLength;
}

void CString::Append(const char* pch, int nLength)
{
    if (nLength <= 0)
        return;
    if (!IsShared() && pch >= m_pchData && pch <= m_pchData + GetLength()) {
        CString copy(pch, nLength);
        Append(copy.m_pchData, nLength);
        return;
    }
    int old = GetLength();
    Reserve(old + nLength, true);
    std::memcpy(m_pchData + old, pch, nLength);
    m_pchData[old + nLength] = 0;
    Header()->nDataLength = old + nLength;
}

CString::CString() : m_pchData(EmptyChars()) {}
CString::CString(const CString& other) : m_pchData(EmptyChars()) { Assign(other.m_pchData, other.GetLength()); }
CString::CString(CString&& other) noexcept : m_pchData(other.m_pchData) { other.m_pchData = EmptyChars(); }
CString::CString(const char* psz) : m_pchData(EmptyChars()) { Assign(psz, SafeLength(psz)); }
CString::CString(const char* pch, int nLength) : m_pchData(EmptyChars()) { Assign(pch, pch ? nLength : 0); }
CString::CString(char ch, int nRepeat) : m_pchData(EmptyChars())
{
    if (nRepeat > 0) {
        Reserve(nRepeat, false);
        std::memset(m_pchData, ch, nRepeat);
        m_pchData[nRepeat] = 0;
        Header()->nDataLength = nRepeat;
    }
}
CString::~CString() { Release(); }

CString& CString::operator=(const CString& other)
{
    if (this != &other)
        Assign(other.m_pchData, other.GetLength());
    return *this;
}
CString& CString::operator=(CString&& other) noexcept
{
    if (this != &other) {
        Release();
        m_pchData = other.m_pchData;
        other.m_pchData = EmptyChars();
    }
    return *this;
}
CString& CString::operator=(const char* psz) { Assign(psz, SafeLength(psz)); return *this; }
CString& CString::operator=(char ch) { Assign(&ch, 1); return *this; }
CString& CString::operator+=(const CString& s) { Append(s.m_pchData, s.GetLength()); return *this; }
CString& CString::operator+=(const char* psz) { Append(psz, SafeLength(psz)); return *this; }
CString& CString::operator+=(char ch) { Append(&ch, 1); return *this; }

void CString::Empty()
{
    if (!IsShared()) {
        Header()->nDataLength = 0;
        m_pchData[0] = 0;
    }
}

void CString::SetAt(int nIndex, char ch)
{
    if (nIndex >= 0 && nIndex < GetLength())
        m_pchData[nIndex] = ch;
}

char* CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength < GetLength())
        nMinBufLength = GetLength();
    Reserve(nMinBufLength, true);
    return m_pchData;
}

char* CString::GetBufferSetLength(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = 0;
    GetBuffer(nNewLength);
    m_pchData[nNewLength] = 0;
    Header()->nDataLength = nNewLength;
    return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (IsShared())
        return;
    if (nNewLength < 0)
        nNewLength = static_cast<int>(std::strlen(m_pchData));
    if (nNewLength > Header()->nAllocLength)
        nNewLength = Header()->nAllocLength;
    m_pchData[nNewLength] = 0;
    Header()->nDataLength = nNewLength;
}

int CString::Compare(const char* psz) const { return afx::MbsCompare932(m_pchData, psz ? psz : ""); }

int CString::Find(char ch, int nStart) const
{
    int n = GetLength();
    if (nStart < 0)
        nStart = 0;
    for (int i = 0; i < n; i += afx::CharLength932(m_pchData + i, n - i)) {
        if (i >= nStart && m_pchData[i] == ch)
            return i;
    }
    return -1;
}

int CString::Find(const char* pszSub, int nStart) const
{
    int n = GetLength();
    int m = SafeLength(pszSub);
    if (nStart < 0)
        nStart = 0;
    if (m == 0)
        return nStart <= n ? nStart : -1;
    for (int i = 0; i + m <= n; i += afx::CharLength932(m_pchData + i, n - i)) {
        if (i >= nStart && std::memcmp(m_pchData + i, pszSub, m) == 0)
            return i;
    }
    return -1;
}

int CString::ReverseFind(char ch) const
{
    int n = GetLength();
    int found = -1;
    for (int i = 0; i < n; i += afx::CharLength932(m_pchData + i, n - i)) {
        if (m_pchData[i] == ch)
            found = i;
    }
    return found;
}

int CString::FindOneOf(const char* pszCharSet) const
{
    int n = GetLength();
    for (int i = 0; i < n; i += afx::CharLength932(m_pchData + i, n - i)) {
        if (m_pchData[i] != 0 && std::strchr(pszCharSet, m_pchData[i]))
            return i;
    }
    return -1;
}

int CString::Replace(const char* pszOld, const char* pszNew)
{
    int m = SafeLength(pszOld);
    if (m == 0)
        return 0;
    int k = SafeLength(pszNew);
    int n = GetLength();
    int count = 0;
    CString out;
    int copied = 0;
    for (int i = 0; i + m <= n;) {
        if (std::memcmp(m_pchData + i, pszOld, m) == 0) {
            if (count == 0)
                out.Reserve(n + (k > m ? (k - m) * 4 : 0), false);
            out.Append(m_pchData + copied, i - copied);
            out.Append(pszNew, k);
            ++count;
            i += m;
            copied = i;
        } else {
            i += afx::CharLength932(m_pchData + i, n - i);
        }
    }
    if (count) {
        out.Append(m_pchData + copied, n - copied);
        *this = static_cast<CString&&>(out);
    }
    return count;
}

int CString::Replace(char chOld, char chNew)
{
    int n = GetLength();
    int count = 0;
    for (int i = 0; i < n; i += afx::CharLength932(m_pchData + i, n - i)) {
        if (m_pchData[i] == chOld) {
            m_pchData[i] = chNew;
            ++count;
        }
    }
    return count;
}

int CString::Insert(int nIndex, const char* psz)
{
    int n = GetLength();
    if (nIndex < 0)
        nIndex = 0;
    if (nIndex > n)
        nIndex = n;
    CString out(m_pchData, nIndex);
    out += psz;
    out.Append(m_pchData + nIndex, n - nIndex);
    *this = static_cast<CString&&>(out);
    return GetLength();
}

int CString::Delete(int nIndex, int nCount)
{
    int n = GetLength();
    if (nIndex < 0)
        nIndex = 0;
    if (nCount > 0 && nIndex < n) {
        if (nCount > n - nIndex)
            nCount = n - nIndex;
        std::memmove(m_pchData + nIndex, m_pchData + nIndex + nCount, n - nIndex - nCount + 1);
        Header()->nDataLength = n - nCount;
    }
    return GetLength();
}

CString CString::Left(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    if (nCount > GetLength())
        nCount = GetLength();
    return CString(m_pchData, nCount);
}

CString CString::Right(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    if (nCount > GetLength())
        nCount = GetLength();
    return CString(m_pchData + GetLength() - nCount, nCount);
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, GetLength()); }

CString CString::Mid(int nFirst, int nCount) const
{
    if (nFirst < 0)
        nFirst = 0;
    if (nFirst > GetLength())
        nFirst = GetLength();
    if (nCount < 0)
        nCount = 0;
    if (nCount > GetLength() - nFirst)
        nCount = GetLength() - nFirst;
    return CString(m_pchData + nFirst, nCount);
}

namespace {
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
} // namespace

CString& CString::TrimLeft()
{
    int i = 0;
    while (i < GetLength() && IsSpace(m_pchData[i]))
        ++i;
    if (i)
        Delete(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    // Trailing white space starts after the last non-space character, never
    // inside a double-byte character.
    int n = GetLength();
    int end = 0;
    for (int i = 0; i < n;) {
        int len = afx::CharLength932(m_pchData + i, n - i);
        if (len == 2 || !IsSpace(m_pchData[i]))
            end = i + len;
        i += len;
    }
    if (end < n) {
        m_pchData[end] = 0;
        Header()->nDataLength = end;
    }
    return *this;
}

CString& CString::MakeUpper()
{
    int n = GetLength();
    for (int i = 0; i < n;) {
        int len = afx::CharLength932(m_pchData + i, n - i);
        if (len == 1 && m_pchData[i] >= 'a' && m_pchData[i] <= 'z')
            m_pchData[i] = static_cast<char>(m_pchData[i] - 'a' + 'A');
        i += len;
    }
    return *this;
}

CString& CString::MakeLower()
{
    int n = GetLength();
    for (int i = 0; i < n;) {
        int len = afx::CharLength932(m_pchData + i, n - i);
        if (len == 1 && m_pchData[i] >= 'A' && m_pchData[i] <= 'Z')
            m_pchData[i] = static_cast<char>(m_pchData[i] - 'A' + 'a');
        i += len;
    }
    return *this;
}

void CString::FormatV(const char* pszFormat, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    if (n < 0) {
        Empty();
        return;
    }
    CString out;
    out.Reserve(n, false);
    std::vsnprintf(out.m_pchData, static_cast<size_t>(n) + 1, pszFormat, args);
    out.Header()->nDataLength = n;
    *this = static_cast<CString&&>(out);
}

void CString::Format(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

CString operator+(const CString& a, const CString& b) { CString s(a); s += b; return s; }
CString operator+(const CString& a, const char* b) { CString s(a); s += b; return s; }
CString operator+(const char* a, const CString& b) { CString s(a); s += b; return s; }
CString operator+(const CString& a, char b) { CString s(a); s += b; return s; }

bool operator==(const CString& a, const CString& b)
{
    return a.GetLength() == b.GetLength() && std::memcmp(a.GetString(), b.GetString(), a.GetLength()) == 0;
}
bool operator==(const CString& a, const char* b) { return std::strcmp(a.GetString(), b ? b : "") == 0; }
bool operator==(const char* a, const CString& b) { return b == a; }
bool operator!=(const CString& a, const CString& b) { return !(a == b); }
bool operator!=(const CString& a, const char* b) { return !(a == b); }
bool operator!=(const char* a, const CString& b) { return !(b == a); }
bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
