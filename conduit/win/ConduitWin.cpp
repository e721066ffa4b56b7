// The conduit library on Windows: its entry, the language resources through
// PalmCmn.dll, and the "Change HotSync Action" dialogs.
#include "ConduitExports.h"
#include "PalmCmn.h"
#include "SyncLog.h"
#include "resource.h"

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

namespace {

HINSTANCE g_hModule = nullptr;
HINSTANCE g_hResources = nullptr;
int g_nAttached = 0;

const UINT kHelpContext = 0x2018F;

struct ActionMap {
    int button;
    UINT text;
};

// The radio button and the text that show a sync type.
ActionMap MapAction(int32_t type)
{
    if (type < 0)
        return {IDC_NOTHING, IDS_ACTION_NOTHING};
    switch (type) {
    case 0: case 1: return {IDC_SYNC, IDS_ACTION_SYNC};
    case 2: return {IDC_HH_TO_PC, IDS_ACTION_HH_TO_PC};
    case 3: return {IDC_PC_TO_HH, IDS_ACTION_PC_TO_HH};
    default: return {IDC_NOTHING, IDS_ACTION_NOTHING};
    }
}

std::string Text(UINT id) { return LoadConduitString(g_hResources, id); }

void LoadBitmaps(HWND hDlg)
{
    static const int pictures[] = {IDC_PIC_SYNC, IDC_PIC_PC_TO_HH, IDC_PIC_HH_TO_PC, IDC_PIC_NOTHING};
    for (int i = 0; i < 4; ++i) {
        COLORMAP map = {RGB(0xC0, 0xC0, 0xC0), GetSysColor(COLOR_BTNFACE)};
        HBITMAP bmp = CreateMappedBitmap(g_hResources, IDB_SYNC + i, 0, &map, 1);
        HBITMAP old = reinterpret_cast<HBITMAP>(
            SendDlgItemMessageA(hDlg, pictures[i], STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bmp)));
        if (old)
            DeleteObject(old);
    }
}

void FreeBitmaps(HWND hDlg)
{
    for (int id = IDC_PIC_SYNC; id <= IDC_PIC_NOTHING; ++id) {
        HBITMAP old = reinterpret_cast<HBITMAP>(SendDlgItemMessageA(hDlg, id, STM_SETIMAGE, IMAGE_BITMAP, 0));
        if (old)
            DeleteObject(old);
    }
}

void ShowHelp(HWND hDlg)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(g_hModule, path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return;
    char* slash = std::strrchr(path, '\\');
    if (!slash)
        return;
    const char kHelp[] = "hotsyncd.hlp";
    if (static_cast<size_t>(slash + 1 - path) + sizeof kHelp > sizeof path)
        return;
    std::strcpy(slash + 1, kHelp);
    WinHelpA(hDlg, path, HELP_CONTEXT, kHelpContext);
}

INT_PTR CALLBACK ActionProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CfgConduitInfo* info = reinterpret_cast<CfgConduitInfo*>(GetWindowLongPtrA(hDlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        info = reinterpret_cast<CfgConduitInfo*>(lParam);
        SetWindowLongPtrA(hDlg, DWLP_USER, lParam);
        SetDlgItemTextA(hDlg, IDC_ACTION_GROUP, Text(IDS_ACTION_GROUP).c_str());
        SetWindowTextA(hDlg, Text(IDS_CONDUIT_NAME).c_str());
        LoadBitmaps(hDlg);
        CheckRadioButton(hDlg, IDC_SYNC, IDC_NOTHING, MapAction(info->syncTemporary).button);
        if (info->dwCreatorId != 0) {
            SetDlgItemTextA(hDlg, IDC_NEXT_TEXT, Text(MapAction(info->syncTemporary).text).c_str());
            SetDlgItemTextA(hDlg, IDC_DEFAULT_TEXT, Text(MapAction(info->syncPermanent).text).c_str());
            char user[65];
            std::memcpy(user, info->szUser, 64);
            user[64] = '\0';
            SetDlgItemTextA(hDlg, IDC_CURRENT_GROUP, FormatConduitText(Text(IDS_CURRENT_SETTINGS), {user}).c_str());
        }
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SYNC: case IDC_PC_TO_HH: case IDC_HH_TO_PC: case IDC_NOTHING:
            CheckRadioButton(hDlg, IDC_SYNC, IDC_NOTHING, LOWORD(wParam));
            return TRUE;
        case IDOK: {
            int32_t type = 6;
            if (IsDlgButtonChecked(hDlg, IDC_SYNC) == BST_CHECKED)
                type = 0;
            else if (IsDlgButtonChecked(hDlg, IDC_PC_TO_HH) == BST_CHECKED)
                type = 3;
            else if (IsDlgButtonChecked(hDlg, IDC_HH_TO_PC) == BST_CHECKED)
                type = 2;
            info->syncNew = type;
            info->syncPref = IsDlgButtonChecked(hDlg, IDC_DEFAULT) == BST_CHECKED ? CONDUIT_PREF_PERMANENT
                                                                                 : CONDUIT_PREF_TEMPORARY;
            FreeBitmaps(hDlg);
            EndDialog(hDlg, 0);
            return TRUE;
        }
        case IDCANCEL:
            FreeBitmaps(hDlg);
            EndDialog(hDlg, 1);
            return TRUE;
        case IDC_HELP_BUTTON:
            ShowHelp(hDlg);
            return TRUE;
        }
        break;
    case WM_HELP:
        ShowHelp(hDlg);
        return TRUE;
    case WM_SYSCOLORCHANGE:
        LoadBitmaps(hDlg);
        return TRUE;
    }
    return FALSE;
}

} // namespace

void* ConduitResourceInstance() { return g_hResources ? g_hResources : g_hModule; }

int ConduitShowActionDialog(CfgConduitInfo& info, int nDialog)
{
    INT_PTR r = DialogBoxParamA(g_hResources ? g_hResources : g_hModule, MAKEINTRESOURCEA(nDialog), GetForegroundWindow(),
                                ActionProc, reinterpret_cast<LPARAM>(&info));
    return r == 0 ? 0 : r == 1 ? 1 : -1;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        if (g_nAttached == 0) {
            g_hModule = hInstance;
            uint32_t loaded = 0;
            g_hResources = PalmLoadLanguage("TessalyConduitLang.DLL", hInstance, &loaded);
        }
        ++g_nAttached;
        break;
    case DLL_PROCESS_DETACH:
        if (g_nAttached-- == 1)
            PalmFreeLanguage(g_hResources, g_hModule);
        break;
    default:
        break;
    }
    return TRUE;
}
