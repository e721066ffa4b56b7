// "Probe": an add-on reduced to recording. A sink writes a line per event
// of its set: tag, set, DISPID, in arguments ("service 2 Taro C:\r.dat"),
// also to the file TESSALY_PROBE_LOG names (a probe in another process).
// Out values come from HKCU\Software\DesktopProbe, the value named by the
// line's longest leading part: answers to successive calls split by ';'
// (the last stands for the later ones), out values by '|'. The control
// (DesktopProbe.dll) connects a sink to each set, logs "open <user> <file>
// base <command base>", has its own View item (base + 100) while active,
// and logs "disconnected <n undone>" when its site goes, "destroyed" at end.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>
#include <vector>

namespace probe {

inline const char kClsid[] = "{6E1B7C2A-3F4D-4E8B-9A51-2C7D0E9F1A33}", kProgId[] = "DesktopTest.Probe.1";

// Lines logged by every probe of this process.
std::vector<std::string>& Log();
// Sets (null: removes) the answer to events whose line starts so.
void Answer(const std::string& line, const char* answers);

// A sink of one event set (by its EventSet number), tagged "" or e.g. "A ".
IDispatch* NewSink(const std::string& tag, int set);
// Live controls and sinks of this process.
LONG LiveObjects();

} // namespace probe
