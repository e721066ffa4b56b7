// What the record managers write to the HotSync log. The synchronizer
// supplies the log that turns these into texts of the conduit's string table.
#pragma once

#include "afx/afxtypes.h"

class CSyncRecord;

class CSyncLog {
public:
    virtual ~CSyncLog() {}
    // A message whose text ends in an error code (3316, 3348, 3366).
    virtual void LogError(unsigned nMessage, LONG lError) = 0;
    // A message about a record, with an error code (3375, 3376, 3378).
    virtual void LogRecord(unsigned nMessage, const CSyncRecord& rec, LONG lError) = 0;
    // 3374: a handheld database that could not be created.
    virtual void LogCreateFailure(const char* pszName, DWORD dwCreator, DWORD dwType, DWORD dwFlags, DWORD dwVersion,
                                  LONG lError) = 0;
};
