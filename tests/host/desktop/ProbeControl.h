// "Probe": what an add-on looks like to its host, reduced to recording.
// A probe sink connects to one event set and writes a line per event (its
// tag, the set, the DISPID and the in arguments: "service 2 Taro C:\r.dat"),
// answering the out arguments from HKCU\Software\DesktopProbe: the value
// named by the longest leading part of the line holds answers for
// successive calls separated by ';' (the last one stands for every later
// call), each of out values separated by '|'.
// The probe control, served by DesktopProbe.dll, connects a sink to each
// set, logs "open <user> <file> base <command base>", and adds its own item
// (base + 100) to the View menu while it is active; when its site is taken
// away it logs "disconnected <connections undone>", at its end "destroyed".
// Lines also go to the file named by TESSALY_PROBE_LOG, so that a test can
// follow a probe in another process.
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
// Sets (or with null, removes) the answer to events whose line starts so.
void Answer(const std::string& line, const char* answers);

// A sink of one event set ("service", "application" or "frame") tagged
// `tag` ("" or a name and a space), with one reference.
IDispatch* NewSink(const std::string& tag, const char* set, REFIID events);
IUnknown* NewControl();
// Live controls and sinks of this process.
LONG LiveObjects();

} // namespace probe
