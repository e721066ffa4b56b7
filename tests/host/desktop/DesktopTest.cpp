// desktop.exe driven from this process as a person would: it finds the
// add-on this process registered, creates its control (the probe) in the
// view, and the probe's log shows what the add-on heard when the user is
// switched, HotSync is pressed (refused, then run), menus open, keys are
// typed, Find runs and the window closes.
#include "DesktopRes.h"
#include "DesktopTestSupport.h"
#include "HostPaths.h"
#include "PalmDesktop.h"
#include "ProbeControl.h"
#include "TestFiles.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

using namespace PalmDesktop;
using desktop::CommandOfItem;

namespace {

const char kConduitKey[] = "Software\\HotSync\\Conduits\\Vqxa";

std::string Ansi(const wchar_t* w)
{
    char buf[512];
    WideCharToMultiByte(CP_ACP, 0, w, -1, buf, sizeof buf, nullptr, nullptr);
    return buf;
}

std::string Text(HWND h)
{
    char buf[4096] = "";
    SendMessageA(h, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return buf;
}

struct Search {
    DWORD pid;
    std::string cls, title;
    HWND found = nullptr;
};

BOOL CALLBACK FindTop(HWND h, LPARAM p)
{
    Search* s = reinterpret_cast<Search*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    char cls[64] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (pid == s->pid && IsWindowVisible(h) && s->cls == cls && (s->title.empty() || Text(h) == s->title)) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindChild(HWND h, LPARAM p)
{
    Search* s = reinterpret_cast<Search*>(p);
    char cls[64] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (s->cls == cls) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

class DesktopProgram {
public:
    DesktopProgram(const std::string& args)
    {
        std::string cmd = "\"" + desktoptest::BinDir() + "\\desktop.exe\" " + args;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi))
            m_pi = {};
    }
    ~DesktopProgram()
    {
        if (m_pi.hProcess) {
            if (WaitForSingleObject(m_pi.hProcess, 0) != WAIT_OBJECT_0)
                TerminateProcess(m_pi.hProcess, 1);
            CloseHandle(m_pi.hProcess);
            CloseHandle(m_pi.hThread);
        }
    }
    // A visible top-level window of the program, waited for.
    HWND Window(const std::string& cls, const std::string& title = "", DWORD ms = 15000)
    {
        Search s{m_pi.dwProcessId, cls, title};
        for (DWORD waited = 0; waited < ms && !s.found; waited += 50) {
            EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
            if (!s.found)
                Sleep(50);
        }
        return s.found;
    }
    DWORD Exit(DWORD ms = 15000)
    {
        DWORD code = 999;
        if (WaitForSingleObject(m_pi.hProcess, ms) == WAIT_OBJECT_0)
            GetExitCodeProcess(m_pi.hProcess, &code);
        return code;
    }
    bool Started() const { return m_pi.hProcess != nullptr; }

private:
    PROCESS_INFORMATION m_pi = {};
};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll"));
        ASSERT_EQ(0u, desktoptest::Regsvr32("DesktopProbe.dll"));
        desktoptest::ClearStandIn();
        root = dir.File("HotSync");
        hh = dir.File("handheld");
        log = dir.File("probe.txt");
        std::filesystem::create_directories(root + "/Hanako");
        std::filesystem::create_directories(root + "/Taro");
        std::filesystem::create_directories(hh);
        ASSERT_EQ(0, testsupport::RunBeside("handheld", {hh, "create"}, dir.File("out.txt")));
        SHDeleteKeyA(HKEY_CURRENT_USER, kConduitKey);
        desktoptest::SetString(HKEY_CURRENT_USER, kConduitKey, "Conduit", desktoptest::BinDir() + "\\TessalyConduit.dll");
        desktoptest::SetString(HKEY_CURRENT_USER, kConduitKey, "Directory", "Tessaly");
        desktoptest::SetString(HKEY_CURRENT_USER, kConduitKey, "File", "record.dat");
        desktoptest::SetString(HKEY_CURRENT_USER, kConduitKey, "RemoteDatabase", "Tessaly-Vqxa");

        // The add-on as its registration leaves it, and the control that shows it.
        AddEntry(L"Probe", probe::kProgId);
        SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\DesktopProbe");
        SetEnvironmentVariableA("TESSALY_PROBE_LOG", log.c_str());
    }
    void AddEntry(const wchar_t* name, const char* control)
    {
        IAddOnManager* manager = nullptr;
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_AddOnManager, nullptr, CLSCTX_INPROC_SERVER,
                                                  IID_IAddOnManager, reinterpret_cast<void**>(&manager)));
        BSTR n = SysAllocString(name), empty = SysAllocString(L""), file = SysAllocString(L"record.dat");
        IAddOn* entry = nullptr;
        ASSERT_EQ(S_OK, manager->CreateAddOn(n, 0x56717861, empty, empty, &entry));
        entry->put_DataFileName(file);
        entry->put_MenuCaption(n);
        entry->put_NameText(n);
        entry->Release();
        manager->Release();
        desktoptest::SetString(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn\\Controls", Ansi(name).c_str(),
                               control);
        SysFreeString(n);
        SysFreeString(empty);
        SysFreeString(file);
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("TESSALY_PROBE_LOG", nullptr);
        SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\DesktopProbe");
        SHDeleteKeyA(HKEY_CURRENT_USER, kConduitKey);
        desktoptest::ClearStandIn();
    }
    std::vector<std::string> Lines()
    {
        std::ifstream in(log);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    // The lines after the first `mark`, without the frame's events, which
    // come whenever the window is activated or sized.
    std::vector<std::string> After(size_t mark)
    {
        std::vector<std::string> lines = Lines(), out;
        for (size_t i = mark; i < lines.size(); ++i)
            if (lines[i].rfind("frame", 0) != 0)
                out.push_back(lines[i]);
        return out;
    }
    // Waits until the probe has logged `line` after the first `from` lines.
    bool WaitFor(const std::string& line, size_t from = 0, DWORD ms = 15000)
    {
        for (DWORD waited = 0; waited < ms; waited += 50) {
            std::vector<std::string> lines = Lines();
            for (size_t i = from; i < lines.size(); ++i)
                if (lines[i] == line)
                    return true;
            Sleep(50);
        }
        return false;
    }
    std::string Path(const std::string& user) const
    {
        return std::string(desktop::DataFilePath(Full(root), user, 0x56717861, "record.dat", "Probe"));
    }
    static std::string Full(const std::string& path)
    {
        char full[MAX_PATH];
        GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
        return full;
    }
    testsupport::TempDir dir;
    std::string root, hh, log;
};

TEST_F(DesktopTest, PersonChoosesUserAndAddOnAndRunsHotSync)
{
    DesktopProgram program("--root \"" + root + "\" --handheld \"" + hh + "\" --user Hanako");
    ASSERT_TRUE(program.Started());
    HWND main = program.Window("PalmDesktopStandIn");
    ASSERT_TRUE(main);
    HWND users = GetDlgItem(main, 101), button = GetDlgItem(main, 200), hotsync = GetDlgItem(main, 102);
    ASSERT_TRUE(users && hotsync);
    ASSERT_TRUE(button) << "the add-on registered in this process is on the bar";
    EXPECT_EQ("Probe", Text(button));
    EXPECT_EQ(2, SendMessageA(users, CB_GETCOUNT, 0, 0));
    EXPECT_EQ("Hanako", Text(users));

    // Choosing the add-on creates its control, active, with the user's file.
    SendMessageA(button, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor("activate 1"));
    EXPECT_TRUE(WaitFor("open Hanako " + Path("Hanako")));
    EXPECT_TRUE(WaitFor("site service=1 application=1 frame=1"));

    // Another user: a save for the old one, then the new user and file.
    size_t mark = Lines().size();
    SendMessageA(users, CB_SETCURSEL, 1, 0);
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(101, CBN_SELCHANGE), reinterpret_cast<LPARAM>(users));
    ASSERT_TRUE(WaitFor("user Taro " + Path("Taro") + " missing", mark));
    std::vector<std::string> lines = Lines();
    EXPECT_EQ("save Hanako " + Path("Hanako"), lines[mark]);

    // HotSync refused by the add-on: its message, and nothing runs.
    desktoptest::SetString(HKEY_CURRENT_USER, "Software\\DesktopProbe", "Refuse", "Close the memo first");
    mark = Lines().size();
    PostMessageA(hotsync, BM_CLICK, 0, 0);
    HWND box = program.Window("#32770");
    ASSERT_TRUE(box);
    EXPECT_EQ("Close the memo first", Text(GetDlgItem(box, 0xFFFF)));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor("hotsync-query Taro", mark));
    Sleep(300);
    EXPECT_EQ(std::vector<std::string>{"hotsync-query Taro"}, After(mark)) << "no save, no operation after a refusal";
    EXPECT_FALSE(testsupport::FileExists(Path("Taro")));

    // Allowed: save, the operation, its log, and the user's file again.
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\DesktopProbe");
    mark = Lines().size();
    PostMessageA(hotsync, BM_CLICK, 0, 0);
    HWND logWindow = program.Window("#32770", Ansi(L"HotSync ログ"), 60000);
    ASSERT_TRUE(logWindow);
    EXPECT_NE(std::string::npos, Text(GetDlgItem(logWindow, 401)).find(Ansi(L"HotSync 操作が完了しました。")))
        << Text(GetDlgItem(logWindow, 401));
    PostMessageA(logWindow, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor("user Taro " + Path("Taro") + " exists", mark));
    std::vector<std::string> expected = {"hotsync-query Taro", "save Taro " + Path("Taro"), "application 1",
                                         "application 2", "user Taro " + Path("Taro") + " exists"};
    EXPECT_EQ(expected, After(mark));
    EXPECT_TRUE(testsupport::FileExists(Path("Taro")));

    // The menus: states from the add-on's answers, commands to the add-on
    // first, help texts in the status bar.
    auto state = [&](UINT menu, UINT item) {
        return static_cast<UINT>(SendMessageA(main, WM_APP_MENUSTATE, menu, CommandOfItem(item))) &
               (MF_GRAYED | MF_CHECKED);
    };
    EXPECT_EQ(UINT(MF_CHECKED), state(MenuEdit, CmdEditCopy));
    EXPECT_EQ(UINT(MF_GRAYED | MF_CHECKED), state(MenuEdit, CmdEditCut));
    EXPECT_EQ(UINT(MF_GRAYED), state(MenuEdit, CmdEditSelectAll)) << "no one takes it on";
    EXPECT_EQ(0u, state(MenuEdit, desktop::ItemEditFind));
    EXPECT_EQ(0u, state(MenuFile, CmdFileSave));
    EXPECT_EQ(UINT(MF_GRAYED), state(MenuFile, CmdFilePrint));
    EXPECT_EQ(0u, static_cast<UINT>(SendMessageA(main, WM_APP_MENUSTATE, MenuView, 40100)) & MF_GRAYED)
        << "the add-on's own item keeps its state";
    mark = Lines().size();
    SendMessageA(main, WM_COMMAND, CommandOfItem(CmdFileSave), 0);
    SendMessageA(main, WM_COMMAND, 40100, 0);
    ASSERT_TRUE(WaitFor("command 40100 1", mark));
    EXPECT_EQ((std::vector<std::string>{"command 20011 0", "save Taro " + Path("Taro"), "command 40100 1"}),
              After(mark));
    // Any menu handle will do for the help text.
    LPARAM bar = reinterpret_cast<LPARAM>(GetMenu(main));
    SendMessageA(main, WM_MENUSELECT, MAKEWPARAM(40100, MF_STRING), bar);
    EXPECT_EQ("Choose the columns the probe shows", Text(GetDlgItem(main, 104)));
    SendMessageA(main, WM_MENUSELECT, MAKEWPARAM(CommandOfItem(CmdFileSave), MF_STRING), bar);
    EXPECT_EQ(Ansi(L"変更を保存します"), Text(GetDlgItem(main, 104)));

    // Keys typed in the view are offered to the add-on.
    Search control{0, "ProbeControl", ""};
    EnumChildWindows(main, FindChild, reinterpret_cast<LPARAM>(&control));
    ASSERT_TRUE(control.found);
    HWND inside = GetWindow(control.found, GW_CHILD);
    PostMessageA(inside, WM_KEYDOWN, VK_F8, 0);
    EXPECT_TRUE(WaitFor("key 119 1"));

    // Find lists every hit and goes to the chosen one.
    PostMessageA(main, WM_COMMAND, CommandOfItem(desktop::ItemEditFind), 0);
    HWND find = program.Window("#32770", Ansi(L"検索"));
    ASSERT_TRUE(find);
    SendMessageA(GetDlgItem(find, 301), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("apple"));
    SendMessageA(GetDlgItem(find, 304), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor("find apple 0 0"));
    EXPECT_EQ(2, SendMessageA(GetDlgItem(find, 305), LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(Ansi(L"2 件見つかりました。"), Text(GetDlgItem(find, 307)));
    SendMessageA(GetDlgItem(find, 306), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor("goto 1 1"));

    // Closing saves, deactivates and takes the control down cleanly.
    mark = Lines().size();
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, program.Exit());
    std::vector<std::string> got = After(mark);
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ("save Taro " + Path("Taro"), got[0]);
    EXPECT_EQ("application 4", got[1]);
    EXPECT_EQ("activate 0", got[2]);
    EXPECT_EQ("destroyed", got.back());
    EXPECT_EQ(3, std::count_if(got.begin(), got.end(), [](const std::string& l) {
                  return l.rfind("unadvise", 0) == 0 && l.find(" ok") != std::string::npos;
              }));
}

TEST_F(DesktopTest, SwitchingViewsActivatesOneAddOnAtATime)
{
    AddEntry(L"Second", probe::kProgId);
    AddEntry(L"Unknown", "No.Such.Control.1");
    DesktopProgram program("--root \"" + root + "\" --user Hanako --addon Probe");
    HWND main = program.Window("PalmDesktopStandIn");
    ASSERT_TRUE(main);
    ASSERT_TRUE(WaitFor("activate 1"));
    // The own item of each add-on (40100 for the first on the bar, 41100
    // for the second) is in the View menu only while that add-on shows.
    auto own = [&](LPARAM command) { return SendMessageA(main, WM_APP_MENUSTATE, MenuView, command) != -1; };
    EXPECT_TRUE(own(40100));
    EXPECT_FALSE(own(41100));

    size_t mark = Lines().size();
    SendMessageA(GetDlgItem(main, 201), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor("activate 1", mark));
    std::vector<std::string> got = After(mark);
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ("activate 0", got[0]) << "the first add-on hears it is hidden before the second is made";
    EXPECT_FALSE(own(40100));
    EXPECT_TRUE(own(41100));

    // Back to the first: no new control, the two swap.
    mark = Lines().size();
    SendMessageA(GetDlgItem(main, 200), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor("activate 1", mark));
    EXPECT_EQ((std::vector<std::string>{"activate 0", "activate 1"}), After(mark));
    EXPECT_TRUE(own(40100));
    EXPECT_FALSE(own(41100));

    // The view's control follows the window's size.
    Search control{0, "ProbeControl", ""};
    EnumChildWindows(main, FindChild, reinterpret_cast<LPARAM>(&control));
    ASSERT_TRUE(control.found);
    SetWindowPos(main, nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    RECT view, rc;
    GetClientRect(GetDlgItem(main, 103), &view);
    for (int i = 0; i < 40 && (GetClientRect(control.found, &rc), rc.right != view.right); ++i)
        Sleep(50);
    EXPECT_EQ(view.right, rc.right);
    EXPECT_EQ(view.bottom, rc.bottom);

    // An add-on whose control cannot be made is explained, and the rest go on.
    PostMessageA(GetDlgItem(main, 202), BM_CLICK, 0, 0);
    HWND box = program.Window("#32770");
    ASSERT_TRUE(box);
    EXPECT_NE(std::string::npos, Text(GetDlgItem(box, 0xFFFF)).find("No.Such.Control.1"));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, program.Exit());
    std::vector<std::string> lines = Lines();
    EXPECT_EQ(2, std::count(lines.begin(), lines.end(), std::string("destroyed")));
}

TEST_F(DesktopTest, MalformedCommandLineIsExplained)
{
    DesktopProgram program("--colour blue");
    ASSERT_TRUE(program.Started());
    HWND box = program.Window("#32770");
    ASSERT_TRUE(box);
    EXPECT_NE(std::string::npos, Text(GetDlgItem(box, 0xFFFF)).find("--handheld"));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(64u, program.Exit());
}

} // namespace
