// desktop.exe: Palm Desktop as a person meets it. A main window with the
// menu bar, a choice of user and the HotSync button, the bar of registered
// add-ons, the view in which the chosen add-on's control runs in place, and
// the status bar. The add-ons hear what happens through the events of the
// objects that the container serves them.
//
// A plain Win32 program: an add-on's control module brings its own
// application object, so this program has none.
#include "AddOnStore.h"
#include "ComBase.h"
#include "Container.h"
#include "DesktopRes.h"
#include "HostPaths.h"
#include "PalmDesktop.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace desktop;
using namespace PalmDesktop;

namespace {

HINSTANCE g_instance;

std::string Str(UINT id)
{
    char buf[1024];
    int n = LoadStringA(g_instance, id, buf, sizeof buf);
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string Format(UINT id, const char* a = "", const char* b = "", unsigned long n = 0)
{
    std::string fmt = Str(id);
    char buf[2048];
    // The formats hold at most two texts followed by one number.
    if (fmt.find("%s") == std::string::npos)
        std::snprintf(buf, sizeof buf, fmt.c_str(), n);
    else if (fmt.find("%s", fmt.find("%s") + 2) == std::string::npos)
        std::snprintf(buf, sizeof buf, fmt.c_str(), a, n);
    else
        std::snprintf(buf, sizeof buf, fmt.c_str(), a, b, n);
    return buf;
}

struct AddOn {
    std::string name, nameText, menuCaption, smallBitmap, dataFileName;
    LONG creator = 0;
    HBITMAP bitmap = nullptr;
    HWND button = nullptr;
    HWND pane = nullptr;   // the control's parent inside the view
    std::unique_ptr<Container> container;
};

struct Options {
    std::string user, root, handheld, addOn;
};

const int kTopBar = 32, kAddOnBar = 96, kButtonHeight = 64;

class Desktop {
public:
    bool Init(const Options& options, int show);
    int Run();

private:
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void LoadAddOns();
    void FillUsers();
    void Layout();
    RECT PaneRect() const;
    void ShowAddOn(int index);
    void ChooseUser(const std::string& user);
    std::string DataFile(const AddOn& a) const;
    Container* Active() const;
    void OnCommand(UINT cmd);
    bool HostCommand(UINT cmd);
    CommandState HostDefault(UINT cmd) const;
    void OnMenuSelect(UINT item, UINT flags, HMENU menu);
    void SaveAll();
    void FireAll(EventSet set, DISPID id, const std::function<void(EventArgs&)>& build);
    void HotSync();
    void Find();
    void Close();
    void DrawAddOnButton(const DRAWITEMSTRUCT* dis);

    Options m_options;
    HWND m_hwnd = nullptr, m_user = nullptr, m_hotsync = nullptr, m_view = nullptr, m_status = nullptr;
    HWND m_userLabel = nullptr;
    HMENU m_menu = nullptr;
    HACCEL m_accel = nullptr;
    HFONT m_font = nullptr;
    std::vector<std::unique_ptr<AddOn>> m_addOns;
    int m_current = -1;
    std::string m_currentUser;
    // While hotsync runs, messages still flow (the window stays painted);
    // what would change the user, the view or the program waits.
    bool m_syncing = false, m_closeAfterSync = false;
};

Desktop* g_desktop;

// ------------------------------------------------------------------ set-up

bool Desktop::Init(const Options& options, int show)
{
    m_options = options;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = g_instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.lpszClassName = "PalmDesktopStandIn";
    RegisterClassA(&wc);
    WNDCLASSA view = {};
    view.lpfnWndProc = DefWindowProcA;
    view.hInstance = g_instance;
    view.hCursor = LoadCursor(nullptr, IDC_ARROW);
    view.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    view.lpszClassName = "PalmDesktopView";
    RegisterClassA(&view);
    view.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    view.lpszClassName = "PalmDesktopPane";
    RegisterClassA(&view);

    m_menu = CreateHostMenuBar(g_instance);
    m_accel = LoadAcceleratorsA(g_instance, MAKEINTRESOURCEA(IDR_ACCEL));
    m_hwnd = CreateWindowExA(0, wc.lpszClassName, Str(IDS_TITLE).c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                             CW_USEDEFAULT, CW_USEDEFAULT, 900, 640, nullptr, m_menu, g_instance, nullptr);
    if (!m_hwnd)
        return false;
    NONCLIENTMETRICSA ncm = {};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    m_font = CreateFontIndirectA(&ncm.lfMessageFont);
    auto child = [&](const char* cls, const std::string& text, DWORD style, int id) {
        HWND h = CreateWindowExA(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, m_hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance, nullptr);
        SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
        return h;
    };
    m_userLabel = child("STATIC", Str(IDS_USER), SS_RIGHT | SS_CENTERIMAGE, IDC_USERLABEL);
    m_user = child("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, IDC_USER);
    m_hotsync = child("BUTTON", Str(IDS_HOTSYNC), BS_PUSHBUTTON | WS_TABSTOP, IDC_HOTSYNC);
    m_view = child("PalmDesktopView", "", WS_CLIPCHILDREN, IDC_VIEW);
    SetWindowLongPtrA(m_view, GWL_EXSTYLE, WS_EX_CLIENTEDGE);
    SetWindowPos(m_view, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    m_status = child(STATUSCLASSNAMEA, "", SBARS_SIZEGRIP, IDC_STATUS);
    SendMessageA(m_status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(Str(IDS_READY).c_str()));

    LoadAddOns();
    FillUsers();
    Layout();
    ShowWindow(m_hwnd, show);
    UpdateWindow(m_hwnd);
    if (!m_options.addOn.empty()) {
        for (size_t i = 0; i < m_addOns.size(); ++i)
            if (m_addOns[i]->name == m_options.addOn)
                ShowAddOn(static_cast<int>(i));
    }
    return true;
}

// The registered add-ons, through the add-on manager as any program sees them.
void Desktop::LoadAddOns()
{
    ComPtr<IAddOnManager> manager;
    if (FAILED(CoCreateInstance(CLSID_AddOnManager, nullptr, CLSCTX_INPROC_SERVER, IID_IAddOnManager,
                                reinterpret_cast<void**>(&manager))))
        return;
    LONG count = 0;
    manager->get_Count(&count);
    for (LONG i = 0; i < count && i <= IDC_ADDON_LAST - IDC_ADDON_FIRST; ++i) {
        ComPtr<IAddOn> entry;
        if (FAILED(manager->Item(i, &entry)) || !entry)
            continue;
        auto a = std::make_unique<AddOn>();
        auto text = [&](HRESULT(STDMETHODCALLTYPE IAddOn::*get)(BSTR*)) {
            BSTR b = nullptr;
            std::string s;
            if (SUCCEEDED((entry.Get()->*get)(&b)))
                s = BstrToAnsi(b);
            SysFreeString(b);
            return s;
        };
        a->name = text(&IAddOn::get_Name);
        a->nameText = text(&IAddOn::get_NameText);
        a->menuCaption = text(&IAddOn::get_MenuCaption);
        a->smallBitmap = text(&IAddOn::get_SmallBitmap);
        a->dataFileName = text(&IAddOn::get_DataFileName);
        entry->get_CreatorID(&a->creator);
        if (a->nameText.empty())
            a->nameText = a->name;
        if (a->menuCaption.empty())
            a->menuCaption = a->name;
        if (!a->smallBitmap.empty())
            a->bitmap = static_cast<HBITMAP>(
                LoadImageA(nullptr, a->smallBitmap.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        int index = static_cast<int>(m_addOns.size());
        a->button = CreateWindowExA(0, "BUTTON", a->nameText.c_str(), WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, 10,
                                    10, m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_ADDON_FIRST + index)),
                                    g_instance, nullptr);
        a->pane = CreateWindowExA(0, "PalmDesktopPane", "", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 10, 10, m_view,
                                  nullptr, g_instance, nullptr);
        // The View menu names every add-on above its own items.
        HMENU viewMenu = GetSubMenu(m_menu, FindMenuPosition(m_menu, MenuView, 0));
        InsertMenuA(viewMenu, static_cast<UINT>(index), MF_BYPOSITION | MF_STRING, ID_VIEW_ADDON_FIRST + index,
                    a->menuCaption.c_str());
        m_addOns.push_back(std::move(a));
    }
    if (!m_addOns.empty()) {
        HMENU viewMenu = GetSubMenu(m_menu, FindMenuPosition(m_menu, MenuView, 0));
        InsertMenuA(viewMenu, static_cast<UINT>(m_addOns.size()), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    } else {
        SendMessageA(m_status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(Str(IDS_NO_ADDONS).c_str()));
    }
}

void Desktop::FillUsers()
{
    std::vector<std::string> users = ListUsers(m_options.root);
    if (!m_options.user.empty() && std::find(users.begin(), users.end(), m_options.user) == users.end())
        users.push_back(m_options.user);
    for (const std::string& u : users)
        SendMessageA(m_user, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u.c_str()));
    std::string first = m_options.user.empty() ? (users.empty() ? std::string() : users.front()) : m_options.user;
    if (!first.empty()) {
        SendMessageA(m_user, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(first.c_str()));
        m_currentUser = first;
    }
}

void Desktop::Layout()
{
    RECT rc;
    GetClientRect(m_hwnd, &rc);
    SendMessageA(m_status, WM_SIZE, 0, 0);
    RECT sb;
    GetWindowRect(m_status, &sb);
    int statusHeight = sb.bottom - sb.top;
    int parts[2] = {rc.right - 180 > 100 ? rc.right - 180 : 100, -1};
    SendMessageA(m_status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    MoveWindow(m_userLabel, kAddOnBar + 8, 6, 70, 22, TRUE);
    MoveWindow(m_user, kAddOnBar + 82, 6, 180, 200, TRUE);
    MoveWindow(m_hotsync, 8, 4, kAddOnBar - 16, 24, TRUE);
    for (size_t i = 0; i < m_addOns.size(); ++i)
        MoveWindow(m_addOns[i]->button, 4, kTopBar + 4 + static_cast<int>(i) * (kButtonHeight + 4), kAddOnBar - 8,
                   kButtonHeight, TRUE);
    int viewHeight = rc.bottom - kTopBar - statusHeight;
    MoveWindow(m_view, kAddOnBar, kTopBar, rc.right - kAddOnBar, viewHeight > 0 ? viewHeight : 0, TRUE);
    RECT pane = PaneRect();
    for (auto& a : m_addOns) {
        MoveWindow(a->pane, pane.left, pane.top, pane.right - pane.left, pane.bottom - pane.top, TRUE);
        if (a->container && a->container->HasControl()) {
            RECT inside = {0, 0, pane.right - pane.left, pane.bottom - pane.top};
            a->container->Move(inside);
        }
    }
}

RECT Desktop::PaneRect() const
{
    RECT rc;
    GetClientRect(m_view, &rc);
    return rc;
}

Container* Desktop::Active() const
{
    if (m_current < 0)
        return nullptr;
    Container* c = m_addOns[static_cast<size_t>(m_current)]->container.get();
    return c && c->HasControl() ? c : nullptr;
}

std::string Desktop::DataFile(const AddOn& a) const
{
    if (m_currentUser.empty())
        return std::string();
    return DataFilePath(m_options.root, m_currentUser, a.creator, a.dataFileName, a.name);
}

// ------------------------------------------------------------ the add-ons

void Desktop::ShowAddOn(int index)
{
    if (m_syncing || index < 0 || static_cast<size_t>(index) >= m_addOns.size() || index == m_current)
        return;
    if (Container* old = Active())
        old->FireActivate(false);
    if (m_current >= 0)
        ShowWindow(m_addOns[static_cast<size_t>(m_current)]->pane, SW_HIDE);
    AddOn& a = *m_addOns[static_cast<size_t>(index)];
    m_current = index;
    for (auto& other : m_addOns)
        InvalidateRect(other->button, nullptr, TRUE);
    SendMessageA(m_status, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(""));
    ShowWindow(a.pane, SW_SHOW);
    if (a.container && a.container->HasControl()) {
        a.container->FireActivate(true);
        SetFocus(a.container->ControlWindow());
        return;
    }
    Container::Options o;
    o.frame = m_hwnd;
    o.menuBar = m_menu;
    o.statusBar = m_status;
    o.commandIdBase = 40000 + 1000 * index;
    a.container = std::make_unique<Container>(o);
    a.container->SetUser(m_currentUser, DataFile(a));
    // A control created while its view is showing activates itself when it
    // finds the service active.
    a.container->SetActive(true);
    RECT rc = PaneRect();
    std::string control = ControlForAddOn(a.name);
    HRESULT hr = a.container->Create(control, a.pane, rc);
    if (FAILED(hr)) {
        a.container.reset();
        MessageBoxA(m_hwnd, Format(IDS_NO_CONTROL, a.nameText.c_str(), control.c_str(), static_cast<unsigned long>(hr)).c_str(),
                    Str(IDS_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
    }
}

void Desktop::FireAll(EventSet set, DISPID id, const std::function<void(EventArgs&)>& build)
{
    for (auto& a : m_addOns)
        if (a->container && a->container->HasControl())
            a->container->Fire(set, id, build);
}

void Desktop::SaveAll()
{
    for (auto& a : m_addOns)
        if (a->container && a->container->HasControl())
            a->container->FireSave();
}

void Desktop::ChooseUser(const std::string& user)
{
    if (m_syncing) {   // the choice stays as it was
        SendMessageA(m_user, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(m_currentUser.c_str()));
        return;
    }
    if (user == m_currentUser)
        return;
    SaveAll();
    FireAll(EventSet::Application, 3, [&](EventArgs& e) { e.In(user); });
    m_currentUser = user;
    for (auto& a : m_addOns) {
        if (a->container && a->container->HasControl()) {
            a->container->SetUser(m_currentUser, DataFile(*a));
            a->container->FireUserChanged();
        }
    }
}

// ---------------------------------------------------------------- commands

CommandState Desktop::HostDefault(UINT cmd) const
{
    CommandState s;
    s.handled = 1;
    bool view = Active() != nullptr;
    if (cmd >= ID_VIEW_ADDON_FIRST && cmd <= ID_VIEW_ADDON_LAST) {
        s.enabled = 1;
        s.checked = static_cast<int>(cmd - ID_VIEW_ADDON_FIRST) == m_current;
        return s;
    }
    switch (cmd) {
    case CommandOfItem(CmdFileSave):
    case CommandOfItem(ItemEditFind):
        s.enabled = view;
        break;
    case CommandOfItem(ItemFileExit):
    case CommandOfItem(ItemToolsHotSync):
        s.enabled = 1;
        break;
    default:
        // A host item that no add-on takes on has nothing behind it; the
        // add-on's own items keep the state it gave them.
        s.handled = cmd >= CommandOfItem(19000) && cmd < CommandOfItem(20000);
        s.enabled = 0;
        break;
    }
    return s;
}

bool Desktop::HostCommand(UINT cmd)
{
    if (cmd >= ID_VIEW_ADDON_FIRST && cmd <= ID_VIEW_ADDON_LAST) {
        ShowAddOn(static_cast<int>(cmd - ID_VIEW_ADDON_FIRST));
        return true;
    }
    switch (cmd) {
    case CommandOfItem(CmdFileSave):
        if (Container* c = Active())
            c->FireSave();
        return true;
    case CommandOfItem(ItemFileExit):
        PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
        return true;
    case CommandOfItem(ItemEditFind):
        Find();
        return true;
    case CommandOfItem(ItemToolsHotSync):
        HotSync();
        return true;
    default:
        return false;
    }
}

// A menu command goes to the add-on first; what it leaves, the host does.
void Desktop::OnCommand(UINT cmd)
{
    if (!(cmd >= ID_VIEW_ADDON_FIRST && cmd <= ID_VIEW_ADDON_LAST))
        if (Container* c = Active())
            if (c->FireCommand(static_cast<LONG>(cmd)))
                return;
    HostCommand(cmd);
}

void Desktop::OnMenuSelect(UINT item, UINT flags, HMENU menu)
{
    std::string text;
    if (flags == 0xFFFF && !menu)
        text = Str(IDS_READY);
    else if (!(flags & (MF_POPUP | MF_SEPARATOR))) {
        Container* c = Active();
        if (!(c && c->FireCommandHelp(static_cast<LONG>(item), text)))
            text = Str(item);
    }
    SendMessageA(m_status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// ----------------------------------------------------------------- HotSync

// Over the middle of the window that owns the dialog.
void CenterOverOwner(HWND dlg)
{
    HWND owner = GetWindow(dlg, GW_OWNER);
    RECT o, d;
    if (!owner || !GetWindowRect(owner, &o) || !GetWindowRect(dlg, &d))
        return;
    int x = (o.left + o.right - (d.right - d.left)) / 2, y = (o.top + o.bottom - (d.bottom - d.top)) / 2;
    SetWindowPos(dlg, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

struct LogDialog {
    std::string text;
};

INT_PTR CALLBACK LogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        CenterOverOwner(dlg);
        SetDlgItemTextA(dlg, IDC_LOG_TEXT, reinterpret_cast<LogDialog*>(lParam)->text.c_str());
        // On OK, so that the log is not shown all selected.
        SetFocus(GetDlgItem(dlg, IDOK));
        return FALSE;
    }
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

std::string ProgramFolder()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
}

void Desktop::HotSync()
{
    if (m_syncing)
        return;
    if (m_currentUser.empty()) {
        MessageBoxA(m_hwnd, Str(IDS_NO_USER).c_str(), Str(IDS_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (m_options.handheld.empty()) {
        MessageBoxA(m_hwnd, Str(IDS_NO_HANDHELD).c_str(), Str(IDS_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // Every add-on may refuse; the first refusal's message is shown.
    for (auto& a : m_addOns) {
        std::string message;
        if (a->container && a->container->HasControl() && !a->container->FireHotSyncQuery(m_currentUser, message)) {
            MessageBoxA(m_hwnd, message.c_str(), Str(IDS_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
            return;
        }
    }
    SaveAll();
    FireAll(EventSet::Application, 1, [&](EventArgs& e) { e.In(m_currentUser); });

    std::string log;
    DWORD status = 1;
    char tempDir[MAX_PATH], tempFile[MAX_PATH];
    GetTempPathA(sizeof tempDir, tempDir);
    GetTempFileNameA(tempDir, "hsl", 0, tempFile);
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(tempFile, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    std::string exe = ProgramFolder() + "hotsync.exe";
    std::string cmd = QuoteArg(exe) + " sync --user " + QuoteArg(m_currentUser) + " --handheld " +
                      QuoteArg(m_options.handheld) + " --desktop " + QuoteArg(m_options.root);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = out;
    PROCESS_INFORMATION pi = {};
    if (out != INVALID_HANDLE_VALUE &&
        CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
        // The window stays painted but takes no input while hotsync runs.
        m_syncing = true;
        EnableWindow(m_hwnd, FALSE);
        bool quit = false;
        while (MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    quit = true;
                    continue;
                }
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        EnableWindow(m_hwnd, TRUE);
        m_syncing = false;
        if (quit)
            PostQuitMessage(0);
        GetExitCodeProcess(pi.hProcess, &status);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        SetFilePointer(out, 0, nullptr, FILE_BEGIN);
        char buf[4096];
        DWORD got = 0;
        while (ReadFile(out, buf, sizeof buf, &got, nullptr) && got > 0 && log.size() < 1000000)
            log.append(buf, got);
    } else {
        log = Format(IDS_HOTSYNC_NOT_RUN, exe.c_str()) + "\n";
    }
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);

    FireAll(EventSet::Application, 2, [&](EventArgs& e) {
        e.In(m_currentUser);
        e.In(static_cast<LONG>(status));
    });
    LogDialog d;
    for (char c : log) {
        if (c == '\n' && (d.text.empty() || d.text.back() != '\r'))
            d.text += '\r';
        d.text += c;
    }
    d.text += status == 0 ? Str(IDS_HOTSYNC_DONE) : Format(IDS_HOTSYNC_FAILED, "", "", status);
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_HOTSYNC_LOG), m_hwnd, LogProc, reinterpret_cast<LPARAM>(&d));
    if (m_closeAfterSync) {
        PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
        return;
    }
    // The view shows what the operation left in the data file.
    for (auto& a : m_addOns) {
        if (a->container && a->container->HasControl()) {
            a->container->SetUser(m_currentUser, DataFile(*a));
            a->container->FireUserChanged();
        }
    }
}

// -------------------------------------------------------------------- find

struct FindDialog {
    Container* container;
};

INT_PTR CALLBACK FindProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    FindDialog* f = reinterpret_cast<FindDialog*>(GetWindowLongPtrA(dlg, DWLP_USER));
    HWND list = GetDlgItem(dlg, IDC_FIND_LIST);
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(dlg, DWLP_USER, lParam);
        CenterOverOwner(dlg);
        SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        std::string first = Str(IDS_COL_FIRST), second = Str(IDS_COL_SECOND);
        LVCOLUMNA col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.cx = 200;
        col.pszText = &first[0];
        SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&col));
        col.cx = 180;
        col.pszText = &second[0];
        SendMessageA(list, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&col));
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_FIND_START: {
            char text[512];
            GetDlgItemTextA(dlg, IDC_FIND_TEXT, text, sizeof text);
            SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
            EnableWindow(GetDlgItem(dlg, IDC_FIND_GOTO), FALSE);
            f->container->FireFindStart(text, IsDlgButtonChecked(dlg, IDC_FIND_CASE) == BST_CHECKED,
                                        IsDlgButtonChecked(dlg, IDC_FIND_WORD) == BST_CHECKED);
            // An add-on that never says "no more" would hold the host here
            // for ever; a limit ends the list.
            int n = 0;
            FindHit hit;
            while (n < 100000 && f->container->FireFindNext(hit)) {
                LVITEMA item = {};
                item.mask = LVIF_TEXT | LVIF_PARAM;
                item.iItem = n;
                item.pszText = &hit.first[0];
                item.lParam = hit.index;
                int at = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
                LVITEMA sub = {};
                sub.iSubItem = 1;
                sub.pszText = &hit.second[0];
                SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&sub));
                ++n;
            }
            SetDlgItemTextA(dlg, IDC_FIND_STATUS,
                            n ? Format(IDS_FIND_COUNT, "", "", static_cast<unsigned long>(n)).c_str()
                              : Str(IDS_FIND_NONE).c_str());
            if (n) {
                LVITEMA sel = {};
                sel.stateMask = sel.state = LVIS_SELECTED | LVIS_FOCUSED;
                SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&sel));
                EnableWindow(GetDlgItem(dlg, IDC_FIND_GOTO), TRUE);
            }
            return TRUE;
        }
        case IDC_FIND_GOTO: {
            int at = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
            if (at < 0)
                return TRUE;
            LVITEMA item = {};
            item.mask = LVIF_PARAM;
            item.iItem = at;
            SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
            EndDialog(dlg, IDOK);
            f->container->FireFindGoTo(static_cast<LONG>(item.lParam), true);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    case WM_NOTIFY: {
        const NMHDR* nm = reinterpret_cast<const NMHDR*>(lParam);
        if (nm->idFrom == IDC_FIND_LIST && nm->code == NM_DBLCLK)
            PostMessageA(dlg, WM_COMMAND, IDC_FIND_GOTO, 0);
        break;
    }
    }
    return FALSE;
}

void Desktop::Find()
{
    Container* c = Active();
    if (!c)
        return;
    FindDialog f = {c};
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_FIND), m_hwnd, FindProc, reinterpret_cast<LPARAM>(&f));
}

// ------------------------------------------------------------------ window

void Desktop::Close()
{
    if (m_syncing) {
        m_closeAfterSync = true;
        return;
    }
    SaveAll();
    FireAll(EventSet::Application, 4, nullptr);
    if (Container* c = Active())
        c->FireActivate(false);
    for (auto& a : m_addOns) {
        a->container.reset();
        if (a->bitmap)
            DeleteObject(a->bitmap);
        a->bitmap = nullptr;
    }
    DestroyWindow(m_hwnd);
    // After the windows that used it.
    DeleteObject(m_font);
    m_font = nullptr;
}

void Desktop::DrawAddOnButton(const DRAWITEMSTRUCT* dis)
{
    size_t index = dis->CtlID - IDC_ADDON_FIRST;
    if (index >= m_addOns.size())
        return;
    const AddOn& a = *m_addOns[index];
    bool on = static_cast<int>(index) == m_current || (dis->itemState & ODS_SELECTED);
    RECT rc = dis->rcItem;
    FillRect(dis->hDC, &rc, GetSysColorBrush(on ? COLOR_WINDOW : COLOR_BTNFACE));
    DrawEdge(dis->hDC, &rc, on ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    if (a.bitmap) {
        BITMAP bm;
        GetObjectA(a.bitmap, sizeof bm, &bm);
        HDC mem = CreateCompatibleDC(dis->hDC);
        HGDIOBJ old = SelectObject(mem, a.bitmap);
        int x = (rc.left + rc.right - bm.bmWidth) / 2;
        // Magenta is the add-on bitmaps' transparent colour.
        TransparentBlt(dis->hDC, x, rc.top + 8, bm.bmWidth, bm.bmHeight, mem, 0, 0, bm.bmWidth, bm.bmHeight,
                       RGB(255, 0, 255));
        SelectObject(mem, old);
        DeleteDC(mem);
    }
    RECT text = rc;
    text.top = rc.bottom - 26;
    SetBkMode(dis->hDC, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dis->hDC, m_font);
    DrawTextA(dis->hDC, a.nameText.c_str(), -1, &text, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    SelectObject(dis->hDC, oldFont);
    if (dis->itemState & ODS_FOCUS) {
        RECT f = rc;
        InflateRect(&f, -4, -4);
        DrawFocusRect(dis->hDC, &f);
    }
}

LRESULT CALLBACK Desktop::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (g_desktop && g_desktop->m_hwnd == hwnd)
        return g_desktop->Handle(msg, wParam, lParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT Desktop::Handle(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SIZE:
        Layout();
        FireAll(EventSet::Frame, 2, [&](EventArgs& e) {
            e.In(static_cast<LONG>(LOWORD(lParam)));
            e.In(static_cast<LONG>(HIWORD(lParam)));
        });
        return 0;
    case WM_ACTIVATE:
        FireAll(EventSet::Frame, 1, [&](EventArgs& e) { e.In(static_cast<LONG>(LOWORD(wParam) != WA_INACTIVE)); });
        break;
    case WM_COMMAND: {
        UINT id = LOWORD(wParam), code = HIWORD(wParam);
        if (lParam) {   // from a control of the window
            if (id == IDC_HOTSYNC && code == BN_CLICKED)
                HotSync();
            else if (id >= IDC_ADDON_FIRST && id <= IDC_ADDON_LAST && code == BN_CLICKED)
                ShowAddOn(static_cast<int>(id - IDC_ADDON_FIRST));
            else if (id == IDC_USER && code == CBN_SELCHANGE) {
                int sel = static_cast<int>(SendMessageA(m_user, CB_GETCURSEL, 0, 0));
                char name[512] = "";
                if (sel >= 0 && SendMessageA(m_user, CB_GETLBTEXTLEN, static_cast<WPARAM>(sel), 0) < 511)
                    SendMessageA(m_user, CB_GETLBTEXT, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(name));
                ChooseUser(name);
            }
            return 0;
        }
        OnCommand(id);
        return 0;
    }
    case WM_INITMENUPOPUP: {
        if (HIWORD(lParam))
            break;
        HMENU popup = reinterpret_cast<HMENU>(wParam);
        for (UINT id : {UINT(MenuFile), UINT(MenuEdit), UINT(MenuView), UINT(MenuTools)}) {
            int pos = FindMenuPosition(m_menu, id, 0);
            if (pos >= 0 && GetSubMenu(m_menu, pos) == popup)
                FireAll(EventSet::Frame, 3, [&](EventArgs& e) { e.In(static_cast<LONG>(id)); });
        }
        auto host = [this](UINT cmd) { return HostDefault(cmd); };
        if (Container* c = Active())
            c->UpdateMenuPopup(popup, host);
        else
            ApplyMenuStates(popup, host);
        return 0;
    }
    case WM_APP_MENUSTATE: {
        int pos = FindMenuPosition(m_menu, static_cast<UINT>(wParam), 0);
        HMENU popup = pos < 0 ? nullptr : GetSubMenu(m_menu, pos);
        if (!popup)
            return -1;
        Handle(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), static_cast<LPARAM>(pos));
        return static_cast<LRESULT>(GetMenuState(popup, static_cast<UINT>(lParam), MF_BYCOMMAND));
    }
    case WM_MENUSELECT:
        OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
        return 0;
    case WM_DRAWITEM:
        if (wParam >= IDC_ADDON_FIRST && wParam <= IDC_ADDON_LAST) {
            DrawAddOnButton(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(m_hwnd, msg, wParam, lParam);
}

int Desktop::Run()
{
    MSG msg;
    bool altTaken = false;   // the view took an Alt key: its release must not open the menu bar
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        // Keys meant for the add-on's view are offered to it first.
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
            if (altTaken && (msg.message == WM_SYSKEYUP || msg.message == WM_KEYUP)) {
                altTaken = msg.wParam != VK_MENU;
                continue;
            }
            Container* c = Active();
            HWND control = c ? c->ControlWindow() : nullptr;
            if (control && (msg.hwnd == control || IsChild(control, msg.hwnd)) && c->FirePreTranslate(msg)) {
                altTaken = altTaken || msg.message == WM_SYSKEYDOWN;
                continue;
            }
            if (m_accel && TranslateAcceleratorA(m_hwnd, m_accel, &msg))
                continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// ------------------------------------------------------------ command line

bool ParseCommandLine(Options& o)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return false;
    bool ok = true;
    for (int i = 1; i < argc && ok; ++i) {
        BSTR option = SysAllocString(argv[i]);
        std::string a = BstrToAnsi(option);
        SysFreeString(option);
        std::string* target = a == "--user"       ? &o.user
                              : a == "--root"     ? &o.root
                              : a == "--handheld" ? &o.handheld
                              : a == "--addon"    ? &o.addOn
                                                  : nullptr;
        if (!target || i + 1 >= argc) {
            ok = false;
            break;
        }
        BSTR value = SysAllocString(argv[++i]);
        *target = BstrToAnsi(value);
        SysFreeString(value);
        if (target->empty())
            ok = false;
    }
    LocalFree(argv);
    // The root as hotsync will be given it, whatever its working folder.
    char full[MAX_PATH];
    std::string root = o.root.empty() ? std::string(".") : o.root;
    DWORD n = GetFullPathNameA(root.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full)
        return false;
    o.root.assign(full, n);
    while (o.root.size() > 3 && (o.root.back() == '\\' || o.root.back() == '/'))
        o.root.pop_back();
    return ok;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    g_instance = instance;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    Options options;
    if (!ParseCommandLine(options)) {
        MessageBoxA(nullptr, Str(IDS_USAGE).c_str(), Str(IDS_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
        return 64;
    }
    if (FAILED(OleInitialize(nullptr)))
        return 1;
    int result = 1;
    {
        Desktop desktop;
        g_desktop = &desktop;
        if (desktop.Init(options, show))
            result = desktop.Run();
        g_desktop = nullptr;
    }
    OleUninitialize();
    return result;
}
