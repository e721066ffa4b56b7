// Settings from outside on arbitrary bytes: a preferences file, read both as
// the memo extension's settings and as a layout with strings (so the
// length-prefixed string reader sees damaged lengths too), the path it is
// found by, and the installer's command line (arguments split at NUL bytes,
// parsed under the classic getopt rules, the settings path built from -f).
#include "CommandLine.h"
#include "FuzzFile.h"
#include "Prefs.h"

#include <vector>

using namespace NorvaneCommon;

namespace {

struct StringPrefs : CPrefsTable {
    CString m_strFirst = "first", m_strSecond;
    int m_nBetween = 0;

    void ReadPrefsData() override
    {
        CPrefsTable::ReadPrefsData();
        const CString before = m_strFirst;
        // A string read is shorter than the limit; one not read keeps its value.
        if (ReadString(m_strFirst) ? m_strFirst.GetLength() >= kMaxStringLength : m_strFirst != before)
            std::abort();
        ReadInt(m_nBetween);
        ReadString(m_strSecond);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!WriteInput("prefs", data, size))
        return 0;
    CString strPath(InputPath("prefs").c_str());
    CTessalyPrefsTable prefs;
    if (prefs.OpenFrom(strPath, CFile::modeRead) != 0)
        std::abort();
    if (size < 12 && prefs.m_nSelectedIndex != 0)
        std::abort();   // a value the file does not hold keeps its default

    StringPrefs strings;
    if (strings.OpenFrom(strPath, CFile::modeRead) != 0)
        std::abort();

    std::remove(InputPath("prefs").c_str());

    // The same bytes as a path: the result is a prefix of it plus the name.
    CString strFuzzPath(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const CString original = strFuzzPath;
    CPrefsTable::ReplaseBaseName(strFuzzPath, CString("UiPrefs.DAT"));
    const int keep = strFuzzPath.GetLength() - 11;
    if (keep < 0 || keep > original.GetLength() || strFuzzPath.Mid(keep) != "UiPrefs.DAT" ||
        strFuzzPath.Left(keep) != original.Left(keep))
        std::abort();

    std::vector<std::string> args(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    CString errors, iniPath;
    const ravelin::CommandLine cl = ravelin::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), errors);
    ravelin::BuildIniPath(args[0].c_str(), cl.strIniName, iniPath);
    return 0;
}
