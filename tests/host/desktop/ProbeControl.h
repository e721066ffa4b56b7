// "Probe": a small ActiveX control that behaves towards its host as an
// add-on's control does. It finds the add-on service through its site,
// connects to the three event interfaces, adds its menu item when activated,
// answers the command, state, help, key, find and HotSync events, and writes
// one line per thing it sees to its log (and to the file named by
// TESSALY_PROBE_LOG, so that a test can follow it in another process).
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>
#include <vector>

namespace probe {

// {6E1B7C2A-3F4D-4E8B-9A51-2C7D0E9F1A33}
inline const CLSID CLSID_Probe = {0x6E1B7C2A, 0x3F4D, 0x4E8B, {0x9A, 0x51, 0x2C, 0x7D, 0x0E, 0x9F, 0x1A, 0x33}};
inline const char kProgId[] = "DesktopTest.Probe.1";

// Lines logged by every probe of this process.
std::vector<std::string>& Log();
// A probe refuses HotSync with this message while it is not empty, or else
// with value Refuse of HKCU\Software\DesktopProbe.
std::string& RefuseMessage();
// Memos the probe's find runs over, their record index being position + 1.
extern const char* const kMemos[3];

// A new probe with one reference.
IUnknown* Create();
// The connection cookies of the last probe created: service, application, frame.
void LastCookies(DWORD cookies[3]);
// Live probes and sinks of this process.
LONG LiveObjects();

} // namespace probe
