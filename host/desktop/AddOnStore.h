// Where the desktop stand-in keeps its add-on entries and settings:
//   HKCU\Software\PalmDesktopStandIn\AddOns\<add-on name>
//       CreatorID (DWORD), Flag (DWORD), Description, LargeBitmap, SmallBitmap,
//       MenuCaption, NameText, DataFileName, DatabaseName (strings)
//   HKCU\Software\PalmDesktopStandIn\Controls   <add-on name> = ProgID or CLSID
//   HKCU\Software\PalmDesktopStandIn            FailManager, FailAddOn, FailService,
//       FailApplication, FailFrame, FailStatusBar (tests only)
// Each Fail list holds function-table positions (numbers separated by
// anything else) at which the add-on manager, an entry, or the container's
// service, application, frame or status bar object fails with E_FAIL
// without doing anything.
#pragma once

#include <windows.h>

#include <string>

namespace desktop {

inline const wchar_t kStandInKey[] = L"Software\\PalmDesktopStandIn";
inline const wchar_t kAddOnsKey[] = L"Software\\PalmDesktopStandIn\\AddOns";
inline const wchar_t kControlsKey[] = L"Software\\PalmDesktopStandIn\\Controls";

// True when the list in value `listName` of the stand-in's key names `position`.
bool FailureRequested(const wchar_t* listName, int position);

// The ProgID (or CLSID text) of the control that shows the add-on `name`:
// the Controls value of that name, else "<NAME>EXT.<Name>ExtCtrl.1", the
// name an add-on's control module is given by its project's convention.
std::string ControlForAddOn(const std::string& name);

} // namespace desktop
