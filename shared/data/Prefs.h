// Preference files: a 4-byte version field followed by the values of a
// subclass, read and written in one fixed order. Values the file does not
// hold keep whatever they were before the read.
#pragma once

#include "NvComnApi.h"
#include "afx/afx.h"

namespace NorvaneCommon {

class NVCOMN_API CPrefsTable {
public:
    enum : int { kPrefsVersion = 0x100 };
    // Longest string ReadString accepts, NUL included; preference strings
    // are names and paths, so anything longer is a damaged file.
    enum : LONG { kMaxStringLength = 0x10000 };

    CPrefsTable();
    virtual ~CPrefsTable();
    CPrefsTable(const CPrefsTable&) = delete;
    CPrefsTable& operator=(const CPrefsTable&) = delete;

    // 0, or -1 when the file cannot be opened. The path and flags are kept
    // for Save.
    LONG OpenFrom(CString& strPath, UINT nOpenFlags);
    LONG Save();

    // Replaces the last component of strPath by strName.
    static void ReplaseBaseName(CString& strPath, const CString& strName);

protected:
    virtual void ReadPrefsData();
    virtual void WritePrefsData();

    // Nonzero only if all 4 bytes were read; otherwise nValue is unchanged.
    int ReadInt(int& nValue);
    void WriteInt(int& nValue);
    // Stored as a 4-byte length counting the NUL, then the text and its NUL.
    // Nonzero only if the whole string was read; otherwise strValue is
    // unchanged.
    int ReadString(CString& strValue);
    void WriteString(CString& strValue);

    CString m_strPath;
    UINT m_nOpenFlags;
    CFile m_file;
};

// The memo extension's view settings.
class NVCOMN_API CTessalyPrefsTable : public CPrefsTable {
public:
    CTessalyPrefsTable();
    ~CTessalyPrefsTable() override;

    int m_nCategoryFilter;    // -1 = all categories, else the category index
    int m_nSelectedIndex;     // record index of the selected memo, -1 = none

protected:
    void ReadPrefsData() override;
    void WritePrefsData() override;
};

} // namespace NorvaneCommon
