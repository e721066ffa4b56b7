#include "CommandLine.h"

#include <cstring>

namespace ravelin {

namespace {

const char kOptions[] = "iuf:h";

void Complain(CString& strErrors, const char* pszProgram, const char* pszWhat, char chOption)
{
    strErrors += pszProgram;
    strErrors += pszWhat;
    strErrors += chOption;
    strErrors += '\n';
}

} // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv, CString& strErrors)
{
    CommandLine cl;
    const char* pszProgram = (argc > 0 && argv[0]) ? argv[0] : "Ravelin";
    int nIndex = 1;   // argument being read
    int nChar = 1;    // letter within it, past the dash
    while (nIndex < argc && argv[nIndex]) {
        const char* arg = argv[nIndex];
        if (nChar == 1) {
            if (arg[0] != '-' || arg[1] == '\0')
                break;
            if (std::strcmp(arg, "--") == 0)
                break;
        }
        char ch = arg[nChar];
        const char* known = (ch == ':') ? nullptr : std::strchr(kOptions, ch);
        if (!known) {
            Complain(strErrors, pszProgram, ": illegal option -- ", ch);
        } else if (known[1] == ':') {
            // The value is the rest of this argument, or else the next one.
            if (arg[nChar + 1] != '\0') {
                cl.strIniName = arg + nChar + 1;
            } else if (nIndex + 1 < argc && argv[nIndex + 1]) {
                cl.strIniName = argv[++nIndex];
            } else {
                Complain(strErrors, pszProgram, ": option requires an argument -- ", ch);
            }
            ++nIndex;
            nChar = 1;
            continue;
        } else if (ch == 'i') {
            cl.bInstall = true;
        } else if (ch == 'u') {
            cl.bInstall = false;
        } else if (ch == 'h') {
            cl.bUsage = true;
        }
        if (arg[++nChar] == '\0') {
            ++nIndex;
            nChar = 1;
        }
    }
    return cl;
}

bool BuildIniPath(const char* pszModulePath, const char* pszIniName, CString& strPath)
{
    CString module(pszModulePath ? pszModulePath : "");
    strPath = module.Left(module.ReverseFind('\\') + 1);
    strPath += pszIniName ? pszIniName : "";
    return strPath.GetLength() + 1 <= kMaxPath;
}

} // namespace ravelin
