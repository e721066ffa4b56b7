#include "Prefs.h"

#include <cstring>
#include <memory>

namespace NorvaneCommon {

namespace {

// Closes the file when a read or write raises, so the handle does not stay
// open (and the file locked on Windows) until the next call.
class CFileGuard {
public:
    explicit CFileGuard(CFile& file) : m_file(file) {}
    ~CFileGuard() { m_file.Abort(); }
    CFileGuard(const CFileGuard&) = delete;
    CFileGuard& operator=(const CFileGuard&) = delete;

private:
    CFile& m_file;
};

inline bool IsSeparator(char ch)
{
#if defined(_WIN32)
    return ch == '\\';
#else
    // Native paths use '/'; Windows-style paths still work in tests.
    return ch == '\\' || ch == '/';
#endif
}

} // namespace

// ---------------------------------------------------------------------------
// CPrefsTable

CPrefsTable::CPrefsTable() : m_nOpenFlags(0) {}

CPrefsTable::~CPrefsTable() {}

LONG CPrefsTable::OpenFrom(CString& strPath, UINT nOpenFlags)
{
    m_strPath = strPath;
    m_nOpenFlags = nOpenFlags;
    if (!m_file.Open(m_strPath, m_nOpenFlags))
        return -1;
    CFileGuard guard(m_file);
    ReadPrefsData();
    m_file.Close();
    return 0;
}

LONG CPrefsTable::Save()
{
    if (m_strPath.IsEmpty() || !m_file.Open(m_strPath, m_nOpenFlags))
        return -1;
    CFileGuard guard(m_file);
    WritePrefsData();
    m_file.Close();
    return 0;
}

void CPrefsTable::ReplaseBaseName(CString& strPath, const CString& strName)
{
    const char* psz = strPath;
    const int n = strPath.GetLength();
    // Everything up to and including the last separator stays. A drive
    // prefix ("C:") also ends a folder part. Without either, the path is a
    // bare file name and the name replaces it whole.
    int keep = 0;
    if (n >= 2 && psz[1] == ':' &&
        ((psz[0] >= 'A' && psz[0] <= 'Z') || (psz[0] >= 'a' && psz[0] <= 'z')))
        keep = 2;
    for (int i = 0; i < n; i += afx::CharLength932(psz + i, static_cast<size_t>(n - i))) {
        if (IsSeparator(psz[i]))
            keep = i + 1;
    }
    CString result(psz, keep);
    result += strName;
    strPath = static_cast<CString&&>(result);
}

void CPrefsTable::ReadPrefsData()
{
    int nVersion = 0;
    ReadInt(nVersion);   // not compared: every version reads the same way
}

void CPrefsTable::WritePrefsData()
{
    int nVersion = kPrefsVersion;
    WriteInt(nVersion);
}

int CPrefsTable::ReadInt(int& nValue)
{
    unsigned char b[4];
    if (m_file.Read(b, 4) != 4)
        return 0;
    const DWORD v = static_cast<DWORD>(b[0]) | (static_cast<DWORD>(b[1]) << 8) | (static_cast<DWORD>(b[2]) << 16) |
                    (static_cast<DWORD>(b[3]) << 24);
    nValue = static_cast<int>(static_cast<LONG>(v));
    return 1;
}

void CPrefsTable::WriteInt(int& nValue)
{
    const DWORD v = static_cast<DWORD>(nValue);
    const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    m_file.Write(b, 4);
}

int CPrefsTable::ReadString(CString& strValue)
{
    int nLength = 0;
    if (!ReadInt(nLength))
        return 0;
    const long long pos = m_file.Seek(0, CFile::current);
    const long long rest = m_file.GetLength() - pos;
    if (nLength < 0 || nLength > kMaxStringLength || nLength > rest) {
        // The length is not one a writer produced: the bytes after it are
        // out of step, so nothing more is read from this file.
        m_file.SeekToEnd();
        return 0;
    }
    if (nLength == 0) {
        strValue.Empty();
        return 1;
    }
    std::unique_ptr<char[]> buf(new char[nLength]);
    if (m_file.Read(buf.get(), static_cast<UINT>(nLength)) != static_cast<UINT>(nLength))
        return 0;
    // The text ends at its NUL, or at the stored length if the NUL is missing.
    const void* nul = std::memchr(buf.get(), 0, static_cast<size_t>(nLength));
    const int nText = nul ? static_cast<int>(static_cast<const char*>(nul) - buf.get()) : nLength;
    strValue = CString(buf.get(), nText);
    return 1;
}

void CPrefsTable::WriteString(CString& strValue)
{
    int nLength = strValue.GetLength() + 1;
    WriteInt(nLength);
    m_file.Write(strValue.GetString(), static_cast<UINT>(nLength));
}

// ---------------------------------------------------------------------------
// CTessalyPrefsTable

CTessalyPrefsTable::CTessalyPrefsTable() : m_nCategoryFilter(-1), m_nSelectedIndex(0) {}

CTessalyPrefsTable::~CTessalyPrefsTable() {}

void CTessalyPrefsTable::ReadPrefsData()
{
    CPrefsTable::ReadPrefsData();
    ReadInt(m_nCategoryFilter);
    ReadInt(m_nSelectedIndex);
}

void CTessalyPrefsTable::WritePrefsData()
{
    CPrefsTable::WritePrefsData();
    WriteInt(m_nCategoryFilter);
    WriteInt(m_nSelectedIndex);
}

} // namespace NorvaneCommon
