// What the desktop stand-in's tests share: programs and DLLs beside the test,
// regsvr32, the stand-in's registry and a host window for a container.
#pragma once

#include "Container.h"

#include <windows.h>

#include <string>

namespace desktoptest {

std::string BinDir();
// Runs a command line and returns its exit status (999 when it did not start
// or did not end within the time).
DWORD Run(const std::string& commandLine, DWORD timeoutMs = 30000);
// regsvr32 /s [/u] on a DLL beside the test.
DWORD Regsvr32(const std::string& dll, bool unregister = false);
// Removes every add-on entry, the control map and the failure lists.
void ClearStandIn();
void SetString(HKEY root, const std::string& key, const char* value, const std::string& data);
std::string GetString(HKEY root, const std::string& key, const char* value);

// A top-level frame with the host's menu bar, a status bar of two panes
// and a view window, as desktop.exe has them.
struct HostWindow {
    HostWindow();
    ~HostWindow();
    HWND frame = nullptr, view = nullptr, status = nullptr;
    HMENU menu = nullptr;
    desktop::Container::Options Options() const;
    RECT ViewRect() const;
};

// Runs the message queue of this thread for a while.
void Pump(DWORD ms = 50);

} // namespace desktoptest
