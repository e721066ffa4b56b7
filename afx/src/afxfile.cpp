#include "afx/afxfile.h"

#if defined(_WIN32)

CFile::CFile() : m_hFile(INVALID_HANDLE_VALUE) {}

CFile::~CFile() { Abort(); }

bool CFile::IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

namespace {
int CauseOf(DWORD err)
{
    switch (err) {
    case ERROR_FILE_NOT_FOUND: return CFileException::fileNotFound;
    case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME: return CFileException::badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return CFileException::tooManyOpenFiles;
    case ERROR_ACCESS_DENIED: return CFileException::accessDenied;
    case ERROR_SHARING_VIOLATION: return CFileException::sharingViolation;
    case ERROR_LOCK_VIOLATION: return CFileException::lockViolation;
    case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL: return CFileException::diskFull;
    case ERROR_HANDLE_EOF: return CFileException::endOfFile;
    default: return CFileException::genericException;
    }
}
} // namespace

BOOL CFile::Open(const char* pszFileName, UINT nOpenFlags, CFileException* pError)
{
    Abort();
    DWORD access = 0;
    switch (nOpenFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    // The compatibility mode shares nothing, like the exclusive one.
    DWORD share = 0;
    switch (nOpenFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = 0; break;
    }
    DWORD disposition = OPEN_EXISTING;
    if (nOpenFlags & modeCreate)
        disposition = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, (nOpenFlags & modeNoInherit) ? FALSE : TRUE};
    HANDLE h = CreateFileA(pszFileName, access, share, &sa, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (pError) {
            DWORD err = GetLastError();
            *pError = CFileException(CauseOf(err), static_cast<LONG>(err), pszFileName);
        }
        return FALSE;
    }
    m_hFile = h;
    m_strFileName = pszFileName;
    return TRUE;
}

void CFile::ThrowOsError(int cause) const
{
    DWORD err = GetLastError();
    throw CFileException(cause ? cause : CauseOf(err), static_cast<LONG>(err), m_strFileName);
}

UINT CFile::Read(void* lpBuf, UINT nCount)
{
    if (nCount == 0)
        return 0;
    DWORD got = 0;
    if (!ReadFile(m_hFile, lpBuf, nCount, &got, nullptr))
        ThrowOsError(0);
    return got;
}

void CFile::Write(const void* lpBuf, UINT nCount)
{
    if (nCount == 0)
        return;
    DWORD put = 0;
    if (!WriteFile(m_hFile, lpBuf, nCount, &put, nullptr))
        ThrowOsError(0);
    if (put != nCount)
        ThrowOsError(CFileException::diskFull);
}

long long CFile::Seek(long long lOff, UINT nFrom)
{
    LARGE_INTEGER d, pos;
    d.QuadPart = lOff;
    DWORD method = nFrom == begin ? FILE_BEGIN : nFrom == current ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(m_hFile, d, &pos, method))
        ThrowOsError(CFileException::badSeek);
    return pos.QuadPart;
}

long long CFile::GetLength() const
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_hFile, &size))
        ThrowOsError(0);
    return size.QuadPart;
}

void CFile::SetLength(long long newLength)
{
    Seek(newLength, begin);
    if (!SetEndOfFile(m_hFile))
        ThrowOsError(0);
}

void CFile::Flush()
{
    if (!FlushFileBuffers(m_hFile))
        ThrowOsError(0);
}

void CFile::Close()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    HANDLE h = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h))
        ThrowOsError(0);
}

void CFile::Abort()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

bool CFile::Exists(const char* pszFileName) { return GetFileAttributesA(pszFileName) != INVALID_FILE_ATTRIBUTES; }

BOOL CFile::Remove(const char* pszFileName) { return DeleteFileA(pszFileName); }

BOOL CFile::ReplaceWith(const char* pszSource, const char* pszTarget)
{
    return MoveFileExA(pszSource, pszTarget, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

#else // POSIX

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CFile::CFile() : m_hFile(-1) {}

CFile::~CFile() { Abort(); }

bool CFile::IsOpen() const { return m_hFile >= 0; }

namespace {
int CauseOf(int err)
{
    switch (err) {
    case ENOENT: return CFileException::fileNotFound;
    case ENOTDIR: case ENAMETOOLONG: return CFileException::badPath;
    case EMFILE: case ENFILE: return CFileException::tooManyOpenFiles;
    case EACCES: case EPERM: case EROFS: case EISDIR: return CFileException::accessDenied;
    case ENOSPC: case EDQUOT: return CFileException::diskFull;
    default: return CFileException::genericException;
    }
}
} // namespace

// Sharing modes are not enforced here; the Windows build enforces them.
BOOL CFile::Open(const char* pszFileName, UINT nOpenFlags, CFileException* pError)
{
    Abort();
    int flags = O_CLOEXEC;
    switch (nOpenFlags & 3) {
    case modeRead: flags |= O_RDONLY; break;
    case modeWrite: flags |= O_WRONLY; break;
    default: flags |= O_RDWR; break;
    }
    if (nOpenFlags & modeCreate) {
        flags |= O_CREAT;
        if (!(nOpenFlags & modeNoTruncate))
            flags |= O_TRUNC;
    }
    int fd = ::open(pszFileName, flags, 0666);
    if (fd >= 0) {
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            fd = -1;
            errno = EISDIR;
        }
    }
    if (fd < 0) {
        if (pError)
            *pError = CFileException(CauseOf(errno), errno, pszFileName);
        return FALSE;
    }
    m_hFile = fd;
    m_strFileName = pszFileName;
    return TRUE;
}

void CFile::ThrowOsError(int cause) const
{
    int err = errno;
    throw CFileException(cause ? cause : CauseOf(err), err, m_strFileName);
}

UINT CFile::Read(void* lpBuf, UINT nCount)
{
    UINT total = 0;
    char* p = static_cast<char*>(lpBuf);
    while (total < nCount) {
        ssize_t n = ::read(m_hFile, p + total, nCount - total);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowOsError(0);
        }
        if (n == 0)
            break;
        total += static_cast<UINT>(n);
    }
    return total;
}

void CFile::Write(const void* lpBuf, UINT nCount)
{
    UINT total = 0;
    const char* p = static_cast<const char*>(lpBuf);
    while (total < nCount) {
        ssize_t n = ::write(m_hFile, p + total, nCount - total);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowOsError(0);
        }
        if (n == 0)
            ThrowOsError(CFileException::diskFull);
        total += static_cast<UINT>(n);
    }
}

long long CFile::Seek(long long lOff, UINT nFrom)
{
    int whence = nFrom == begin ? SEEK_SET : nFrom == current ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(m_hFile, static_cast<off_t>(lOff), whence);
    if (pos < 0)
        ThrowOsError(CFileException::badSeek);
    return pos;
}

long long CFile::GetLength() const
{
    struct stat st;
    if (fstat(m_hFile, &st) != 0)
        ThrowOsError(0);
    return st.st_size;
}

void CFile::SetLength(long long newLength)
{
    if (ftruncate(m_hFile, static_cast<off_t>(newLength)) != 0)
        ThrowOsError(0);
}

void CFile::Flush()
{
    if (fsync(m_hFile) != 0)
        ThrowOsError(0);
}

void CFile::Close()
{
    if (m_hFile < 0)
        return;
    int fd = m_hFile;
    m_hFile = -1;
    if (::close(fd) != 0)
        ThrowOsError(0);
}

void CFile::Abort()
{
    if (m_hFile >= 0)
        ::close(m_hFile);
    m_hFile = -1;
}

bool CFile::Exists(const char* pszFileName)
{
    struct stat st;
    return ::stat(pszFileName, &st) == 0;
}

BOOL CFile::Remove(const char* pszFileName) { return ::unlink(pszFileName) == 0; }

BOOL CFile::ReplaceWith(const char* pszSource, const char* pszTarget)
{
    return std::rename(pszSource, pszTarget) == 0;
}

#endif
