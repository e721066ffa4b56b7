// A person's day in the Tessaly view of desktop.exe, driven from another
// process. "day DATAFILE PASSWORD WRONG NEWTEXT EDITTEXT CATEGORY", on five
// unfiled memos: the password (a wrong one first), write a memo filed under
// CATEGORY, edit one, move one to CATEGORY, delete and undo, delete, copy the
// two of CATEGORY and paste them, HotSync. "resync": HotSync, close desktop.exe.
// Out, in the ANSI code page: "ok WHAT" or "FAIL WHAT" (the first failure ends
// the run with status 1), and "KEY\tTEXT", with tabs for line breaks.
#include "Container.h"
#include "DesktopRes.h"
#include "NvComnRes.h"
#include "PalmDesktop.h"
#include "ViewRes.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace PalmDesktop;
using desktop::CommandOfItem;

namespace {

HWND g_main, g_view, g_list, g_preview;
DWORD g_pid;

void Check(bool ok, const std::string& what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok)
        ExitProcess(1);
}

bool WaitUntil(const std::function<bool()>& done, DWORD ms = 20000)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - start > ms)
            return false;
    return true;
}

std::string Text(HWND h)
{
    char buf[40000] = "";
    LRESULT n = SendMessageA(h, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

void Emit(const char* key, std::string text)
{
    for (size_t i; (i = text.find("\r\n")) != std::string::npos;)
        text.replace(i, 2, "\t");
    std::printf("%s\t%s\n", key, text.c_str());
    std::fflush(stdout);
}

void Type(HWND edit, const std::string& s) { SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s.c_str())); }
void Click(HWND dlg, int id) { PostMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }
void Command(UINT item) { PostMessageA(g_main, WM_COMMAND, CommandOfItem(item), 0); }
bool UndoGrayed() { return SendMessageA(g_main, WM_APP_MENUSTATE, MenuEdit, CommandOfItem(CmdEditUndo)) & MF_GRAYED; }
int Count() { return static_cast<int>(SendMessageA(g_list, LVM_GETITEMCOUNT, 0, 0)); }
int Next(int flag) { return static_cast<int>(SendMessageA(g_list, LVM_GETNEXTITEM, WPARAM(-1), flag)); }
int SelectedCount() { return static_cast<int>(SendMessageA(g_list, LVM_GETSELECTEDCOUNT, 0, 0)); }
bool Lists(int n) { return WaitUntil([n] { return Count() == n; }); }
bool Gone(HWND h) { return WaitUntil([h] { return !IsWindow(h); }); }

// A visible dialog of desktop.exe with a control `id`.
HWND Dialog(int id, DWORD ms = 20000)
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND h = nullptr; !found && (h = FindWindowExA(nullptr, h, "#32770", nullptr)) != nullptr;) {
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == g_pid && IsWindowVisible(h) && GetDlgItem(h, id))
                found = h;
        }
        return found != nullptr;
    }, ms);
    return found;
}

BOOL CALLBACK FindList(HWND h, LPARAM)
{
    char cls[32] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (GetDlgCtrlID(h) == IDC_LIST && !lstrcmpA(cls, WC_LISTVIEWA))
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

// Item i selected with the arrow keys, which the preview follows: its text.
std::string Show(int i)
{
    const int n = Count();
    auto key = [](int vk, int to) {
        PostMessageA(g_list, WM_KEYDOWN, vk, 1);
        PostMessageA(g_list, WM_KEYUP, vk, 0xC0000001);
        if (!WaitUntil([to] { return Next(LVNI_SELECTED) == to && SelectedCount() == 1; }))
            Check(false, "a key selects memo " + std::to_string(to + 1));
    };
    int s = Next(LVNI_SELECTED);
    if (s < 0 || SelectedCount() != 1 || Next(LVNI_FOCUSED) != s)
        key(VK_HOME, s = 0);   // Home previews nothing; the arrow keys below do
    if (s == i && n > 1)
        key(i + 1 < n ? VK_DOWN : VK_UP, s = i + 1 < n ? i + 1 : i - 1);
    for (int step; (step = s < i ? 1 : s > i ? -1 : 0) != 0;)
        key(step > 0 ? VK_DOWN : VK_UP, s += step);
    return Text(g_preview);
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
    Check(i < n, "category " + std::to_string(category) + " is offered");
    SendMessageA(box, CB_SETCURSEL, i, 0);
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDC_CATEGORY, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

// The editor opened with `button` shows `before`, takes `text` (and `category`).
void Edit(int button, const std::string& before, const std::string& text, int category)
{
    Click(g_view, button);
    HWND editor = Dialog(IDC_MEMO_FRAME);
    Check(editor && Text(GetDlgItem(editor, IDC_MEMO)) == before, "the memo editor opens on the memo");
    Type(GetDlgItem(editor, IDC_MEMO), text);
    if (category != -1)
        Choose(editor, category);
    Click(editor, IDOK);
    Check(Gone(editor) && WaitUntil([&] { return Text(g_preview) == text; }), "OK closes the editor; the memo is previewed");
}

// Edit > Delete on the selected memo, answering the question with OK.
void Delete(int countAfter)
{
    Command(CmdEditDelete);
    HWND box = Dialog(0xFFFF);
    Check(box != nullptr, "Delete asks first");
    Click(box, IDOK);
    Check(Gone(box) && Lists(countAfter), "the memo leaves the list");
}

// The HotSync button, its log, and the memos of the data file it left.
void HotSync(int countAfter)
{
    Click(g_main, IDC_HOTSYNC);
    HWND log = Dialog(IDC_LOG_TEXT, 120000);
    Check(log != nullptr, "the HotSync operation ends with its log");
    Emit("hotsync", Text(GetDlgItem(log, IDC_LOG_TEXT)));
    Click(log, IDOK);
    Check(Gone(log), "the log closes");
    SendMessageA(g_main, WM_NULL, 0, 0);   // back in its message loop: the file is open again
    Check(Lists(countAfter), "the view lists " + std::to_string(countAfter) + " memos");
    for (int i = 0; i < Count(); ++i)
        Emit("listed", Show(i));
}

int Day(const std::vector<std::string>& a)
{
    const int category = std::stoi(a[5]);
    Attach();
    for (int i : {2, 1}) {   // the wrong password is asked for again
        HWND prompt = Dialog(IDC_PASSWORD, 60000);
        Check(prompt != nullptr, "the password is asked for");
        Type(GetDlgItem(prompt, IDC_PASSWORD), a[i]);
        Click(prompt, IDOK);
        Check(Gone(prompt), "OK takes the password");
    }
    Check(Lists(5) && IsWindowEnabled(g_view) && !Dialog(IDC_PASSWORD, 0), "the right password lists five memos");

    Edit(IDC_NEW, "", a[3], category);
    const std::string edited = ShowOther({a[3]});
    Edit(IDC_EDIT, edited, a[4], -1);
    Emit("edited", edited);
    const std::string moved = ShowOther({a[3], a[4]});
    Edit(IDC_EDIT, moved, moved, category);
    Emit("moved", moved);

    const std::string undone = ShowOther({a[3], a[4], moved});
    Delete(5);
    Check(!UndoGrayed(), "Undo is offered");
    Command(CmdEditUndo);
    Check(Lists(6) && SelectedCount() == 1 && Text(g_preview) == undone, "Undo lists, selects and previews the memo");
    Check(UndoGrayed(), "a second Undo is not offered");
    Emit("deleted", ShowOther({a[3], a[4], moved, undone}));
    Delete(5);

    // The new and the moved memo share the category: both are copied.
    Choose(g_view, category);
    Check(Lists(2), "2 memos in the category");
    Command(CmdEditSelectAll);
    Check(WaitUntil([] { return SelectedCount() == 2; }), "Select all selects both");
    Command(CmdEditCopy);
    Command(CmdEditPaste);
    Check(Lists(4), "Paste adds the two copies");
    Choose(g_view, -1);
    HotSync(7);
    return 0;
}

} // namespace

// The arguments come in the ANSI code page; texts get CR LF line breaks.
int main(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 2; i < argc; ++i) {
        args.emplace_back();
        for (const char* p = argv[i]; *p; ++p)
            args.back() += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
    }
    if (argc == 8 && !lstrcmpA(argv[1], "day"))
        return Day(args);
    if (argc == 2 && !lstrcmpA(argv[1], "resync")) {
        Attach();
        HotSync(Count());
        return !PostMessageA(g_main, WM_CLOSE, 0, 0);   // the caller sees desktop.exe end
    }
    std::fprintf(stderr, "usage: WholeDayView day DATAFILE PASSWORD WRONG NEWTEXT EDITTEXT CATEGORY | resync\n");
    return 64;
}
