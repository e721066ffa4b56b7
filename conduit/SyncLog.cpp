#include "SyncLog.h"

#include "ConduitStrings.h"
#include "HsLog.h"
#include "SyncRecord.h"

#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

const size_t kMessageMax = 511;    // the 512-byte message buffer

std::string Hex(LONG v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%lx", static_cast<unsigned long>(static_cast<DWORD>(v)));
    return buf;
}

std::string Unsigned(DWORD v) { return std::to_string(static_cast<unsigned long>(v)); }

} // namespace

std::string LoadConduitString(void* hInstance, unsigned nId)
{
#if defined(_WIN32)
    char buf[1024];
    int n = LoadStringA(static_cast<HINSTANCE>(hInstance), nId, buf, sizeof buf);
    if (n > 0)
        return std::string(buf, static_cast<size_t>(n));
#else
    (void)hInstance;
#endif
    // The English text the library carries, also when a language library
    // lacks the string.
    switch (nId) {
#define TESSALY_STRING_CASE(id, text) \
    case id: return text;
        TESSALY_CONDUIT_UI_STRINGS(TESSALY_STRING_CASE)
        TESSALY_CONDUIT_LOG_STRINGS(TESSALY_STRING_CASE)
#undef TESSALY_STRING_CASE
    default: return std::string();
    }
}

std::string FormatConduitText(const std::string& format, const std::vector<std::string>& args)
{
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < format.size() && format[j] >= '0' && format[j] <= '9')
            ++j;
        if (j < format.size() && (format[j] == 's' || format[j] == 'u' || format[j] == 'd') && next < args.size()) {
            out += args[next++];
            i = j;
        } else {
            out += c;
        }
    }
    if (out.size() > kMessageMax)
        out.resize(kMessageMax);
    return out;
}

CSyncLog::CSyncLog(void* hInstance) : m_hInstance(hInstance), m_strName(LoadConduitString(hInstance, 1)), m_nVerbose(0)
{
}

LONG CSyncLog::ActivityOf(unsigned nMessage)
{
    switch (nMessage) {
    case 3316: return ACT_PURGE_FAILED;
    case 3325: return ACT_CATEGORY_DELETED;
    case 3328: return ACT_DUPLICATED;
    case 3334: return ACT_MOD_DELETED;
    case 3348: return ACT_RESET_FAILED;
    case 3364: return ACT_SAVE_FAILED;
    case 3366: return ACT_CLOSE_FAILED;
    case 3368: return ACT_CATEGORY_DELETED;
    case 3369: return ACT_CATEGORY_MOVE_FAILED;
    case 3370: return ACT_TOO_MANY_CATEGORIES;
    case 3374: return ACT_CREATE_FAILED;
    case 3375: return ACT_PC_ADD_FAILED;
    case 3376: return ACT_HH_ADD_FAILED;
    case 3378: return ACT_HH_READ_FAILED;
    default: return 0;
    }
}

std::string CSyncLog::Describe(const CSyncRecord& rec) const
{
    DWORD value = 0;
    unsigned id = rec.GetDescriptionMessage(&value);
    std::string text = FormatConduitText(Load(id), {Unsigned(value)});
    if (text.size() > 255)
        text.resize(255);
    return text;
}

void CSyncLog::LogText(const char* pszText, LONG lActivity) { HsLogAddEntry(pszText ? pszText : "", lActivity, 0); }

void CSyncLog::LogError(unsigned nMessage, LONG lError)
{
    LogText(FormatConduitText(Load(nMessage), {Hex(lError)}).c_str(), ActivityOf(nMessage));
}

void CSyncLog::LogRecord(unsigned nMessage, const CSyncRecord& rec, LONG lError)
{
    LogText(FormatConduitText(Load(nMessage), {Describe(rec), Unsigned(static_cast<DWORD>(lError))}).c_str(),
            ActivityOf(nMessage));
}

void CSyncLog::LogRecordEvent(unsigned nMessage, const CSyncRecord& rec)
{
    LogText(FormatConduitText(Load(nMessage), {Describe(rec)}).c_str(), ActivityOf(nMessage));
}

void CSyncLog::LogCategory(unsigned nMessage, const char* pszName)
{
    LogText(FormatConduitText(Load(nMessage), {pszName ? pszName : ""}).c_str(), ActivityOf(nMessage));
}

void CSyncLog::LogCreateFailure(const char* pszName, DWORD dwCreator, DWORD dwType, DWORD dwFlags, DWORD dwVersion,
                                LONG lError)
{
    std::string db = m_nVerbose
                         ? FormatConduitText(Load(3371), {pszName ? pszName : "", Hex(LONG(dwCreator)), Unsigned(dwType),
                                                          std::to_string(LONG(dwFlags)), std::to_string(LONG(dwVersion))})
                         : FormatConduitText(Load(3372), {pszName ? pszName : "", Hex(LONG(dwCreator))});
    LogText(FormatConduitText(Load(3374), {db, Unsigned(static_cast<DWORD>(lError))}).c_str(), ActivityOf(3374));
}
