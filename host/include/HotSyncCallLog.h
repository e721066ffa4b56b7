// The call log of the Conduit Manager and HotSync API stand-ins: one line per
// call, appended to the file named by TESSALY_HOTSYNC_CALLS, so that a test can
// see which calls a program made and in what order. No variable, no log.
#pragma once

#include <windows.h>
#include <string>

namespace hotsync_log {

inline void Append(const std::string& line)
{
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("TESSALY_HOTSYNC_CALLS", path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return;
    HANDLE h = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
}

// A text argument as it was passed; a null pointer shows as "(null)".
inline std::string Arg(const char* psz)
{
    return psz ? std::string(psz) : std::string("(null)");
}

} // namespace hotsync_log
