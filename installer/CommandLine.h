// The installer's command line and the path of its settings file. Portable,
// so that the rules can be checked natively as well.
#pragma once

#include "afx/afx.h"

namespace ravelin {

// Platform path limit, terminator included.
const int kMaxPath = 260;

const char kDefaultIniName[] = "Ravelin.ini";

struct CommandLine {
    bool bInstall = true;              // -i (default) or -u, the last one wins
    bool bUsage = false;               // -h
    CString strIniName = kDefaultIniName;   // -f
};

// Parses the options "iuf:h" under the classic getopt rules: grouped letters,
// the value of -f in the same argument or the next one, stop at the first
// non-option, a lone "-" or after "--". Complaints are appended to strErrors
// exactly as they go to standard error, prefixed with argv[0].
CommandLine ParseCommandLine(int argc, const char* const* argv, CString& strErrors);

// The settings file: the program's own directory (its path cut behind the last
// backslash, double-byte characters stepped over) followed by the -f value as
// given. False when the result does not fit kMaxPath with its terminator.
bool BuildIniPath(const char* pszModulePath, const char* pszIniName, CString& strPath);

} // namespace ravelin
