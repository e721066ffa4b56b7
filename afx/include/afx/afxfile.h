// CFile: an unbuffered file with the framework's open-mode bits. A read or
// write error after a successful Open raises CFileException.
#pragma once

#include "afx/afxcoll.h"
#include "afx/afxstr.h"

class CException : public CObject {
public:
    CException() {}
};

class CFileException : public CException {
public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14
    };
    CFileException(int cause = none, LONG lOsError = -1, const char* pszFileName = nullptr)
        : m_cause(cause), m_lOsError(lOsError), m_strFileName(pszFileName)
    {
    }
    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

class CFile : public CObject {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile();
    ~CFile() override;   // closes without raising
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // FALSE (and the cause in pError, if given) when the file cannot be opened.
    BOOL Open(const char* pszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
    bool IsOpen() const;

    // Returns the number of bytes read; fewer than asked only at the end of the file.
    UINT Read(void* lpBuf, UINT nCount);
    void Write(const void* lpBuf, UINT nCount);
    long long Seek(long long lOff, UINT nFrom);
    void SeekToBegin() { Seek(0, begin); }
    long long SeekToEnd() { return Seek(0, end); }
    long long GetLength() const;
    void SetLength(long long newLength);
    void Flush();    // to the disk, not only to the system
    void Close();    // raises on failure
    void Abort();    // closes, never raises

    const CString& GetFilePath() const { return m_strFileName; }

    static bool Exists(const char* pszFileName);
    static BOOL Remove(const char* pszFileName);
    // Moves src over dst, replacing it in one step; FALSE on failure.
    static BOOL ReplaceWith(const char* pszSource, const char* pszTarget);

private:
    [[noreturn]] void ThrowOsError(int cause) const;
#if defined(_WIN32)
    HANDLE m_hFile;
#else
    int m_hFile;
#endif
    CString m_strFileName;
};
