// The conduit's HotSync log: texts from the string table, formatted with
// record or category details, each written with its activity code.
#pragma once

#include "afx/afxtypes.h"

#include <string>
#include <vector>

class CSyncRecord;

// Activity codes of the log entries.
enum : LONG {
    ACT_DUPLICATED = 2,     // 3328: the same class of entry as 3334
    ACT_MOD_DELETED = 2,
    ACT_TOO_MANY_CATEGORIES = 3,
    ACT_CATEGORY_DELETED = 4,
    ACT_CATEGORY_MOVE_FAILED = 7,
    ACT_HH_READ_FAILED = 8,
    ACT_HH_ADD_FAILED = 9,
    ACT_PURGE_FAILED = 10,
    ACT_PC_ADD_FAILED = 13,
    ACT_SAVE_FAILED = 17,
    ACT_RESET_FAILED = 18,
    ACT_BEGIN = 19,
    ACT_END_OK = 20,
    ACT_END_FAILED = 21,
    ACT_CLOSE_FAILED = 22,
    ACT_CREATE_FAILED = -1
};

// Loads string nId of the conduit from the resource instance (natively from
// the built-in table); the empty string when there is none.
std::string LoadConduitString(void* hInstance, unsigned nId);

// Replaces the conversions (%s, %u, %d, with an optional width) of a text
// from the string table, in order, by the arguments given as text. Anything
// else is copied as it stands, so a translated text cannot read beyond them.
std::string FormatConduitText(const std::string& format, const std::vector<std::string>& args);

class CSyncLog {
public:
    explicit CSyncLog(void* hInstance = nullptr);
    virtual ~CSyncLog() {}

    // A message whose text ends in an error code (3316, 3348, 3364, 3366).
    virtual void LogError(unsigned nMessage, LONG lError);
    // A message about a record, with an error code (3375, 3376, 3378).
    virtual void LogRecord(unsigned nMessage, const CSyncRecord& rec, LONG lError);
    // 3374: a handheld database that could not be created.
    virtual void LogCreateFailure(const char* pszName, DWORD dwCreator, DWORD dwType, DWORD dwFlags, DWORD dwVersion,
                                  LONG lError);
    // A message about a record, without an error (3328, 3334).
    virtual void LogRecordEvent(unsigned nMessage, const CSyncRecord& rec);
    // A message about a category (3325, 3368, 3369, 3370).
    virtual void LogCategory(unsigned nMessage, const char* pszName);
    // Any text with its activity code.
    virtual void LogText(const char* pszText, LONG lActivity);

    const std::string& GetConduitName() const { return m_strName; }
    int GetVerbose() const { return m_nVerbose; }
    void SetVerbose(int on) { m_nVerbose = static_cast<short>(on ? 1 : 0); }
    // The activity code of a message.
    static LONG ActivityOf(unsigned nMessage);

protected:
    std::string Load(unsigned nId) const { return LoadConduitString(m_hInstance, nId); }
    std::string Describe(const CSyncRecord& rec) const;

    void* m_hInstance;
    std::string m_strName;
    // Off: the short form of a database in 3374 (3372).
    short m_nVerbose;
};
