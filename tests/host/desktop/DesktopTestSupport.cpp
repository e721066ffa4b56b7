#include "DesktopTestSupport.h"

#include <commctrl.h>
#include <shlwapi.h>

namespace desktoptest {

std::string BinDir()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/"));
}

DWORD Run(const std::string& commandLine, DWORD timeoutMs)
{
    std::string cmd = commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 999;
    DWORD code = 999;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 999);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

DWORD Regsvr32(const std::string& dll, bool unregister)
{
    return Run(std::string("regsvr32.exe /s ") + (unregister ? "/u " : "") + "\"" + BinDir() + "\\" + dll + "\"");
}

void ClearStandIn()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn");
}

void SetString(HKEY root, const std::string& key, const char* value, const std::string& data)
{
    SHSetValueA(root, key.c_str(), value, REG_SZ, data.c_str(), static_cast<DWORD>(data.size() + 1));
}

std::string GetString(HKEY root, const std::string& key, const char* value)
{
    HKEY k;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return "(no key)";
    char buf[1024] = "";
    DWORD size = sizeof buf - 1;
    LONG rc = SHQueryValueExA(k, value, nullptr, nullptr, buf, &size);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS ? buf : "(no value)";
}

HostWindow::HostWindow()
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    menu = desktop::CreateHostMenuBar(nullptr);
    frame = CreateWindowExA(0, "STATIC", "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr, menu,
                            nullptr, nullptr);
    view = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 600, 400, frame, nullptr,
                           nullptr, nullptr);
    status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame, nullptr, nullptr,
                             nullptr);
    int parts[2] = {300, -1};
    SendMessageA(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
}

HostWindow::~HostWindow()
{
    DestroyWindow(frame);   // the menu bar goes with it
}

desktop::Container::Options HostWindow::Options() const
{
    desktop::Container::Options o;
    o.frame = frame;
    o.menuBar = menu;
    o.statusBar = status;
    o.commandIdBase = 40000;
    return o;
}

RECT HostWindow::ViewRect() const
{
    RECT rc;
    GetClientRect(view, &rc);
    return rc;
}

void Pump(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while (GetTickCount() < end);
}

} // namespace desktoptest
