// The HotSync log stand-in: entries kept in memory for the count and for
// tests, and appended to a plain text file that a person can read.
#include "HsLog.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Entry {
    int32_t activity;
    std::string text;
};

struct LogState {
    std::string path;
    std::vector<Entry> entries;
};

LogState& L()
{
    static LogState s;
    return s;
}

} // namespace

extern "C" {

int32_t HSLOG_CALL HsLogAddEntry(const char* pszText, int32_t activity, int32_t flags)
{
    (void)flags;
    LogState& s = L();
    std::string text = pszText ? pszText : "";
    s.entries.push_back({activity, text});
    if (s.path.empty())
        return 0;
    // One line per entry, whatever the text holds.
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    std::FILE* f = std::fopen(s.path.c_str(), "ab");
    if (!f)
        return -1;
    int ok = std::fprintf(f, "%d\t%s\n", static_cast<int>(activity), text.c_str()) >= 0;
    ok = (std::fclose(f) == 0) && ok;
    return ok ? 0 : -1;
}

uint16_t HSLOG_CALL HsLogCount(void)
{
    std::size_t n = L().entries.size();
    return static_cast<uint16_t>(n > 0xFFFF ? 0xFFFF : n);
}

int32_t HSLOG_CALL TessalyHostLogToFile(const char* pszPath)
{
    LogState& s = L();
    s.entries.clear();
    s.path = pszPath ? pszPath : "";
    return 0;
}

int32_t HSLOG_CALL TessalyHostLogEntry(int32_t index, int32_t* pActivity, char* pszText, int32_t cbText)
{
    const LogState& s = L();
    if (index < 0 || static_cast<std::size_t>(index) >= s.entries.size())
        return -1;
    const Entry& e = s.entries[static_cast<std::size_t>(index)];
    if (pActivity)
        *pActivity = e.activity;
    if (pszText && cbText > 0) {
        std::size_t n = e.text.size() < static_cast<std::size_t>(cbText) ? e.text.size() : static_cast<std::size_t>(cbText) - 1;
        std::memcpy(pszText, e.text.data(), n);
        pszText[n] = '\0';
    }
    return 0;
}

} // extern "C"
