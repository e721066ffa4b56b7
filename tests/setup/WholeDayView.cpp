// A person's day in the Tessaly view of desktop.exe, driven from another
// process with the messages Wine carries between processes: texts typed with
// WM_SETTEXT, buttons clicked, combo boxes chosen, menu commands given to the
// main window, arrow keys posted to the list. What the person sees is read
// back the same way: the preview pane, the list's counts and selection, the
// status bar, the dialogs.
//
//   WholeDayView day DATAFILE PASSWORD WRONG NEWTEXT EDITTEXT CATEGORY
//       on a data file of five unfiled memos: the password (a wrong one
//       first), read, write a memo filed under CATEGORY, edit, move one to
//       CATEGORY, delete and undo, delete, copy the two of CATEGORY and paste
//       them, save, HotSync
//   WholeDayView resync
//       HotSync again, then close desktop.exe
//
// Texts are given with \n line breaks. Out: "ok WHAT" or "FAIL WHAT" per
// check (the first failure ends the run with status 1), and "KEY\tJSON" for
// what the caller compares with the handheld: the texts read, changed and
// listed, with \n line breaks, in UTF-8.
#include "Container.h"
#include "DesktopRes.h"
#include "NvComnRes.h"
#include "PalmDesktop.h"
#include "ViewRes.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

using namespace PalmDesktop;

namespace {

HWND g_main, g_view, g_list, g_preview;
DWORD g_pid;

void Check(bool ok, const std::string& what, bool quiet = false)
{
    if (!ok || !quiet)
        std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok)
        std::exit(1);
}

bool WaitUntil(const std::function<bool()>& done, DWORD ms = 20000)
{
    for (DWORD start = GetTickCount();; Sleep(20)) {
        if (done())
            return true;
        if (GetTickCount() - start > ms)
            return false;
    }
}

std::string Convert(const std::string& s, UINT from, UINT to)
{
    int n = MultiByteToWideChar(from, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(from, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    n = WideCharToMultiByte(to, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(to, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// One line for the caller: the text as a JSON string, in UTF-8, \n breaks.
void Emit(const char* key, const std::string& ansi)
{
    std::string s = "\"";
    for (unsigned char c : Convert(ansi, CP_ACP, CP_UTF8)) {
        char esc[8];
        if (c == '\r')
            continue;
        if (c == '"' || c == '\\')
            s += '\\', s += static_cast<char>(c);
        else if (c < 0x20)
            std::snprintf(esc, sizeof esc, "\\u%04x", c), s += esc;
        else
            s += static_cast<char>(c);
    }
    std::printf("%s\t%s\"\n", key, s.c_str());
    std::fflush(stdout);
}

std::string Text(HWND h)
{
    char buf[40000] = "";
    LRESULT n = SendMessageA(h, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

void Type(HWND edit, const std::string& text)
{
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
void Click(HWND dlg, int id) { PostMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }
void Command(UINT item) { PostMessageA(g_main, WM_COMMAND, desktop::CommandOfItem(item), 0); }
bool Grayed(UINT menu, UINT item)
{
    return (SendMessageA(g_main, WM_APP_MENUSTATE, menu, desktop::CommandOfItem(item)) & MF_GRAYED) != 0;
}

int Count() { return static_cast<int>(SendMessageA(g_list, LVM_GETITEMCOUNT, 0, 0)); }
int Selected() { return static_cast<int>(SendMessageA(g_list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)); }
int Focused() { return static_cast<int>(SendMessageA(g_list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED)); }
int SelectedCount() { return static_cast<int>(SendMessageA(g_list, LVM_GETSELECTEDCOUNT, 0, 0)); }
std::string Preview() { return Text(g_preview); }

// Pane 1 of the status bar. Status bar texts are not carried between
// processes, so the text is asked into a buffer inside desktop.exe.
std::string Status()
{
    HWND bar = GetDlgItem(g_main, IDC_STATUS);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, g_pid);
    char buf[256] = "";
    if (process) {
        if (void* remote = VirtualAllocEx(process, nullptr, sizeof buf, MEM_COMMIT, PAGE_READWRITE)) {
            if (LOWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, 1, 0)) < sizeof buf &&
                SendMessageA(bar, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(remote)))
                ReadProcessMemory(process, remote, buf, sizeof buf - 1, nullptr);
            VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        }
        CloseHandle(process);
    }
    return buf;
}

// A visible dialog of desktop.exe that `is` recognises by its controls.
struct Search {
    const std::function<bool(HWND)>* is;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND h, LPARAM p)
{
    Search* s = reinterpret_cast<Search*>(p);
    DWORD pid = 0;
    char cls[16] = "";
    GetWindowThreadProcessId(h, &pid);
    GetClassNameA(h, cls, sizeof cls);
    if (pid == g_pid && IsWindowVisible(h) && !std::strcmp(cls, "#32770") && (*s->is)(h))
        s->found = h;
    return !s->found;
}

HWND Dialog(const std::function<bool(HWND)>& is, DWORD ms = 20000)
{
    Search s{&is, nullptr};
    WaitUntil([&] { return EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&s)), s.found != nullptr; }, ms);
    return s.found;
}
bool IsPassword(HWND h) { return GetDlgItem(h, IDC_PASSWORD) != nullptr; }
bool IsEditor(HWND h) { return GetDlgItem(h, IDC_MEMO_FRAME) && GetDlgItem(h, IDC_MEMO); }
bool IsMessageBox(HWND h) { return GetDlgItem(h, 0xFFFF) && !IsEditor(h) && !IsPassword(h); }
bool IsHotSyncLog(HWND h) { return GetDlgItem(h, IDC_LOG_TEXT) != nullptr; }
bool Gone(HWND h) { return WaitUntil([h] { return !IsWindow(h); }); }

BOOL CALLBACK FindList(HWND h, LPARAM)
{
    char cls[32] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (GetDlgCtrlID(h) == IDC_LIST && !std::strcmp(cls, WC_LISTVIEWA))
        g_list = h;
    return !g_list;
}

// desktop.exe's main window and the memo view in it.
void Attach()
{
    Check(WaitUntil([] { return (g_main = FindWindowA("PalmDesktopStandIn", nullptr)) != nullptr; }, 60000),
          "desktop.exe is running");
    GetWindowThreadProcessId(g_main, &g_pid);
    // The list is made before the preview: the view is whole with both.
    Check(WaitUntil([] {
              EnumChildWindows(g_main, FindList, 0);
              return g_list && (g_preview = GetDlgItem(g_view = GetParent(g_list), IDC_MEMO)) != nullptr;
          }),
          "the memo view is shown");
}

// Selects item i with the arrow keys, as the preview follows them, and
// returns the memo previewed; the status bar shows its place.
std::string Show(int i)
{
    const int n = Count();
    auto key = [](int vk, int to) {
        PostMessageA(g_list, WM_KEYDOWN, vk, 1);
        PostMessageA(g_list, WM_KEYUP, vk, 0xC0000001);
        Check(WaitUntil([to] { return Selected() == to && SelectedCount() == 1; }),
              "a key selects memo " + std::to_string(to + 1), true);
    };
    int s = Selected();
    if (s < 0 || SelectedCount() != 1 || Focused() != s)
        key(VK_HOME, s = 0);   // Home previews nothing; the arrow keys below do
    if (s == i && n > 1) {
        s = i + 1 < n ? i + 1 : i - 1;
        key(s > i ? VK_DOWN : VK_UP, s);
    }
    for (int step; s != i;) {
        step = s < i ? 1 : -1;
        s += step;
        key(step > 0 ? VK_DOWN : VK_UP, s);
    }
    char status[32];
    std::snprintf(status, sizeof status, "%d / %d", i + 1, n);
    Check(WaitUntil([&] { return Status() == status; }), std::string("the status bar shows ") + status, true);
    return Preview();
}

// The first memo listed whose text is none of `taken`.
std::string ShowOther(const std::vector<std::string>& taken)
{
    for (int i = 0; i < Count(); ++i) {
        std::string text = Show(i);
        if (std::find(taken.begin(), taken.end(), text) == taken.end())
            return text;
    }
    Check(false, "a memo not yet used is listed");
    return {};
}

void Choose(HWND dlg, int category)
{
    HWND box = GetDlgItem(dlg, IDC_CATEGORY);
    int n = static_cast<int>(SendMessageA(box, CB_GETCOUNT, 0, 0)), i = 0;
    while (i < n && static_cast<int>(SendMessageA(box, CB_GETITEMDATA, i, 0)) != category)
        ++i;
    Check(i < n, "category " + std::to_string(category) + " is offered", true);
    SendMessageA(box, CB_SETCURSEL, i, 0);
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_CATEGORY, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

// The memo editor opened with `button`: it shows `before`, takes `text`
// (and `category` when not -1) and closes with OK.
void Edit(int button, const std::string& before, const std::string& text, int category)
{
    Click(g_view, button);
    HWND editor = Dialog(IsEditor);
    Check(editor != nullptr, "the memo editor opens");
    Emit("editor", Text(editor));
    Check(Text(GetDlgItem(editor, IDC_MEMO)) == before, "the editor holds the memo");
    Type(GetDlgItem(editor, IDC_MEMO), text);
    if (category != -1)
        Choose(editor, category);
    Click(editor, IDOK);
    Check(Gone(editor), "OK closes the editor");
    Check(WaitUntil([&] { return Preview() == text; }), "the view previews the memo written");
}

// Edit > Delete on the selected memos, answering the question with OK.
void Delete(int countAfter)
{
    Command(CmdEditDelete);
    HWND box = Dialog(IsMessageBox);
    Check(box != nullptr, "Delete asks first");
    Emit("question", Text(GetDlgItem(box, 0xFFFF)));
    Click(box, IDOK);
    Check(Gone(box) && WaitUntil([=] { return Count() == countAfter; }), "the memo leaves the list");
}

// The HotSync button; the log is read and closed, and the view shows the
// data file that the operation left.
void HotSync(int countAfter)
{
    Click(g_main, IDC_HOTSYNC);
    HWND log = Dialog(IsHotSyncLog, 120000);
    Check(log != nullptr, "the HotSync operation ends with its log");
    Emit("hotsync", Text(GetDlgItem(log, IDC_LOG_TEXT)));
    Click(log, IDOK);
    Check(Gone(log), "the log closes");
    SendMessageA(g_main, WM_NULL, 0, 0);   // back in its message loop: the file is open again
    Check(WaitUntil([=] { return Count() == countAfter; }), "the view lists " + std::to_string(countAfter) + " memos");
}

void ListAll()
{
    for (int i = 0; i < Count(); ++i)
        Emit("listed", Show(i));
}

void ShowCategory(int category, int count)
{
    Choose(g_view, category);
    Check(WaitUntil([=] { return Count() == count; }), std::to_string(count) + " memos in category " +
          std::to_string(category));
}

ULONGLONG Stamp(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA a = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a);
    return (ULONGLONG(a.ftLastWriteTime.dwHighDateTime) << 32) | a.ftLastWriteTime.dwLowDateTime;
}

int Day(const std::vector<std::string>& a)
{
    const std::string& data = a[0];
    const int category = std::atoi(a[5].c_str());
    Attach();
    HWND prompt = Dialog(IsPassword, 60000);
    Check(prompt != nullptr, "the password is asked for");
    Type(GetDlgItem(prompt, IDC_PASSWORD), a[2]);
    Click(prompt, IDOK);
    Check(Gone(prompt), "OK takes the password");
    prompt = Dialog(IsPassword);
    Check(prompt != nullptr, "a wrong password is asked for again");
    Type(GetDlgItem(prompt, IDC_PASSWORD), a[1]);
    Click(prompt, IDOK);
    Check(Gone(prompt) && WaitUntil([] { return Count() == 5; }), "the right password lists the five memos");
    Check(IsWindowEnabled(g_view) && !Dialog(IsPassword, 0), "the view is open, no prompt");

    std::string read = Show(0);
    Check(!read.empty(), "a memo is read in the preview");
    Emit("read", read);

    Edit(IDC_NEW, "", a[3], category);
    Check(Count() == 6, "the new memo is listed");
    const std::string edited = ShowOther({a[3]});
    Edit(IDC_EDIT, edited, a[4], -1);
    Emit("edited", edited);
    const std::string moved = ShowOther({a[3], a[4]});
    Edit(IDC_EDIT, moved, moved, category);
    Emit("moved", moved);

    const std::string undone = ShowOther({a[3], a[4], moved});
    Delete(5);
    Check(!Grayed(MenuEdit, CmdEditUndo), "Undo is offered");
    Command(CmdEditUndo);
    Check(WaitUntil([] { return Count() == 6; }), "Undo lists the memo again");
    Check(SelectedCount() == 1 && Preview() == undone, "Undo selects and previews the memo");
    Check(Grayed(MenuEdit, CmdEditUndo), "a second Undo is not offered");
    Emit("deleted", ShowOther({a[3], a[4], moved, undone}));
    Delete(5);

    // The new and the moved memo share the category: both are copied.
    ShowCategory(category, 2);
    Command(CmdEditSelectAll);
    Check(WaitUntil([] { return SelectedCount() == 2; }), "Select all selects both");
    Command(CmdEditCopy);
    Command(CmdEditPaste);
    Check(WaitUntil([] { return Count() == 4; }), "Paste adds the two copies");
    ShowCategory(-1, 7);

    const ULONGLONG before = Stamp(data);
    Command(CmdFileSave);
    Check(WaitUntil([&] { return Stamp(data) != before; }), "File > Save writes the data file");
    HotSync(7);
    ListAll();
    return 0;
}

int Resync()
{
    Attach();
    HotSync(Count());
    ListAll();
    PostMessageA(g_main, WM_CLOSE, 0, 0);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, g_pid);
    DWORD code = 999;
    if (process && WaitForSingleObject(process, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    Check(code == 0, "desktop.exe closes (exit " + std::to_string(code) + ")");
    return 0;
}

} // namespace

int main()
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 2; i < argc; ++i) {
        int n = WideCharToMultiByte(CP_ACP, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string s(n > 0 ? n - 1 : 0, '\0');
        WideCharToMultiByte(CP_ACP, 0, argv[i], -1, &s[0], n, nullptr, nullptr);
        std::string crlf;
        for (char c : s)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        args.push_back(crlf);
    }
    if (argc == 8 && !std::wcscmp(argv[1], L"day"))
        return Day(args);
    if (argc == 2 && !std::wcscmp(argv[1], L"resync"))
        return Resync();
    std::fprintf(stderr, "usage: WholeDayView day DATAFILE PASSWORD WRONG NEWTEXT EDITTEXT CATEGORY | resync\n");
    return 64;
}
