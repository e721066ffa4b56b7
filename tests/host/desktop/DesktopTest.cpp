// desktop.exe driven from this process as a person would, with the probe
// as the add-ons' control: its log shows what an add-on hears.
#include "ComBase.h"
#include "Container.h"
#include "DesktopRes.h"
#include "DesktopTestSupport.h"
#include "HostPaths.h"
#include "PalmDesktop.h"
#include "ProbeControl.h"
#include "TestFiles.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace PalmDesktop;
using desktop::CommandOfItem;

namespace {

const char kConduitKey[] = "Software\\HotSync\\Conduits\\Vqxa";
const LONG kVqxa = 0x56717861;

std::string Ansi(const wchar_t* w)
{
    char buf[512];
    WideCharToMultiByte(CP_ACP, 0, w, -1, buf, sizeof buf, nullptr, nullptr);
    return buf;
}

// The text of a window of another process's.
std::string Text(HWND h)
{
    char buf[4096] = "";
    SendMessageA(h, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return buf;
}

BOOL CALLBACK FindProbe(HWND h, LPARAM found)
{
    return Text(h) == "DesktopProbe" ? (*reinterpret_cast<HWND*>(found) = h, FALSE) : TRUE;
}

// The probe's window, deep in the view.
HWND ProbeWindow(HWND main)
{
    HWND found = nullptr;
    EnumChildWindows(main, FindProbe, reinterpret_cast<LPARAM>(&found));
    return found;
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll"));
        const std::string clsid = std::string("CLSID\\") + probe::kClsid;
        desktoptest::SetString(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", nullptr,
                               desktoptest::BinDir() + "\\DesktopProbe.dll");
        desktoptest::SetString(HKEY_CLASSES_ROOT, std::string(probe::kProgId) + "\\CLSID", nullptr, probe::kClsid);
        TearDown();
        // A root with a space, which hotsync must be given quoted.
        char full[MAX_PATH];
        GetFullPathNameA(dir.File("Hot Sync").c_str(), sizeof full, full, nullptr);
        root = full;
        for (const std::string& d : {root + "/Hanako", root + "/Taro", hh})
            std::filesystem::create_directories(d);
        ASSERT_EQ(0, testsupport::RunBeside("handheld", {hh, "create"}, dir.File("out.txt")));
        const std::pair<const char*, std::string> conduit[] = {
            {"Conduit", desktoptest::BinDir() + "\\TessalyConduit.dll"}, {"Directory", "Tessaly"},
            {"File", "record.dat"}, {"RemoteDatabase", "Tessaly-Vqxa"}};
        for (const auto& v : conduit)
            desktoptest::SetString(HKEY_CURRENT_USER, kConduitKey, v.first, v.second);
        AddEntry("Probe", probe::kProgId);
        SetEnvironmentVariableA("TESSALY_PROBE_LOG", log.c_str());
    }
    void TearDown() override
    {
        if (program.hProcess) {
            TerminateProcess(program.hProcess, 1);   // nothing when it has ended
            CloseHandle(program.hProcess), CloseHandle(program.hThread);
        }
        SetEnvironmentVariableA("TESSALY_PROBE_LOG", nullptr);
        SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\DesktopProbe");
        SHDeleteKeyA(HKEY_CURRENT_USER, kConduitKey);
        desktoptest::ClearStandIn();
    }
    HWND Start(const std::string& args, bool window = true)
    {
        std::string cmd = "\"" + desktoptest::BinDir() + "\\desktop.exe\" " + args;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        EXPECT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &program));
        return window ? Window("PalmDesktopStandIn") : nullptr;
    }
    // A visible top-level window of this Wine server's.
    static HWND Window(const char* cls, const std::string& title = "", DWORD ms = 15000)
    {
        for (DWORD waited = 0; waited < ms; waited += 50, Sleep(50))
            if (HWND h = FindWindowA(cls, title.empty() ? nullptr : title.c_str()); h && IsWindowVisible(h))
                return h;
        return nullptr;
    }
    // A message box's text, answered with OK.
    static std::string Box()
    {
        HWND box = Window("#32770", "Palm Desktop");
        std::string text = box ? Text(GetDlgItem(box, 0xFFFF)) : "(no box)";
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return text;
    }
    DWORD Exit()
    {
        DWORD code = 999;
        if (WaitForSingleObject(program.hProcess, 15000) == WAIT_OBJECT_0)
            GetExitCodeProcess(program.hProcess, &code);
        return code;
    }
    // The add-on as its registration leaves it, and the control that shows it.
    static void AddEntry(const char* name, const char* control)
    {
        desktop::ComPtr<IAddOnManager> manager;
        desktop::ComPtr<IAddOn> entry;
        BSTR n = desktop::AnsiToBstr(name), empty = SysAllocString(L""), file = SysAllocString(L"record.dat");
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_AddOnManager, nullptr, CLSCTX_INPROC_SERVER, IID_IAddOnManager,
                                         reinterpret_cast<void**>(&manager)));
        ASSERT_EQ(S_OK, manager->CreateAddOn(n, kVqxa, empty, empty, &entry));
        entry->put_DataFileName(file);
        SysFreeString(n), SysFreeString(empty), SysFreeString(file);
        desktoptest::SetString(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn\\Controls", name, control);
    }
    // The probe's lines from the `mark`th on, without the frame's events,
    // which come whenever the window is activated, sized or a menu opens.
    std::vector<std::string> After(size_t mark = 0)
    {
        std::ifstream in(log);
        std::vector<std::string> lines;
        size_t n = 0;
        for (std::string line; std::getline(in, line);)
            if (line.rfind("frame", 0) != 0 && n++ >= mark)
                lines.push_back(line);
        return lines;
    }
    // Waits until the probe has logged a line starting with `start` from `mark` on.
    bool WaitFor(const std::string& start, size_t mark = 0)
    {
        for (DWORD waited = 0; waited < 15000; waited += 50, Sleep(50))
            for (const std::string& line : After(mark))
                if (line.rfind(start, 0) == 0)
                    return true;
        return false;
    }
    std::string Path(const std::string& user) const
    {
        return desktop::DataFilePath(root, user, kVqxa, "record.dat", "Probe");
    }
    testsupport::TempDir dir;
    std::string root, hh = dir.File("handheld"), log = dir.File("probe.txt");
    PROCESS_INFORMATION program = {};
};

TEST_F(DesktopTest, PersonChoosesUserAndAddOnAndRunsHotSync)
{
    HWND main = Start("--root \"" + root + "\" --handheld \"" + hh + "\" --user Hanako");
    ASSERT_TRUE(main);
    HWND users = GetDlgItem(main, IDC_USER), hotsync = GetDlgItem(main, IDC_HOTSYNC);
    HWND button = GetDlgItem(main, IDC_ADDON_FIRST), status = GetDlgItem(main, IDC_STATUS);
    ASSERT_TRUE(button) << "the add-on registered in this process is on the bar";
    EXPECT_EQ("Probe", Text(button));
    EXPECT_EQ(2, SendMessageA(users, CB_GETCOUNT, 0, 0));
    EXPECT_EQ("Hanako", Text(users));

    // Choosing the add-on creates its control with the user's file.
    SendMessageA(button, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor("open Hanako " + Path("Hanako") + " base 40000"));

    // Another user: a save for the old one, then the new user and file.
    size_t mark = After().size();
    SendMessageA(users, CB_SETCURSEL, 1, 0);
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_USER, CBN_SELCHANGE), reinterpret_cast<LPARAM>(users));
    ASSERT_TRUE(WaitFor("service 2", mark));
    EXPECT_EQ((std::vector<std::string>{"service 3 Hanako " + Path("Hanako"), "application 3 Taro",
                                        "service 2 Taro " + Path("Taro")}),
              After(mark));

    // HotSync refused by the add-on: its message, and nothing runs.
    probe::Answer("application 5", "0|Close the memo first");
    mark = After().size();
    PostMessageA(hotsync, BM_CLICK, 0, 0);
    EXPECT_EQ("Close the memo first", Box());
    Sleep(300);
    EXPECT_EQ(std::vector<std::string>{"application 5 Taro"}, After(mark));
    EXPECT_FALSE(testsupport::FileExists(Path("Taro")));

    // Allowed: save, the operation, its log, and the user's file again.
    probe::Answer("application 5", nullptr);
    mark = After().size();
    PostMessageA(hotsync, BM_CLICK, 0, 0);
    HWND logWindow = Window("#32770", Ansi(L"HotSync ログ"), 60000);
    ASSERT_TRUE(logWindow);
    EXPECT_NE(std::string::npos, Text(GetDlgItem(logWindow, IDC_LOG_TEXT)).find(Ansi(L"HotSync 操作が完了しました。")))
        << Text(GetDlgItem(logWindow, IDC_LOG_TEXT));
    PostMessageA(logWindow, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor("service 2", mark));
    EXPECT_EQ((std::vector<std::string>{"application 5 Taro", "service 3 Taro " + Path("Taro"), "application 1 Taro",
                                        "application 2 Taro 0", "service 2 Taro " + Path("Taro")}),
              After(mark));
    EXPECT_TRUE(testsupport::FileExists(Path("Taro")));

    // Menu states: the add-on's answers, else the host's own.
    probe::Answer("service 5 20023", "1|1|1|0");
    probe::Answer("service 5 20022", "1|0|1|0");
    const UINT states[][3] = {
        {MenuEdit, CommandOfItem(CmdEditCopy), MF_CHECKED}, {MenuEdit, CommandOfItem(CmdEditCut), MF_GRAYED | MF_CHECKED},
        {MenuEdit, CommandOfItem(CmdEditSelectAll), MF_GRAYED},   // no one takes it on
        {MenuEdit, CommandOfItem(desktop::ItemEditFind), 0}, {MenuFile, CommandOfItem(CmdFileSave), 0},
        {MenuFile, CommandOfItem(CmdFilePrint), MF_GRAYED}, {MenuView, 40100, 0},   // the add-on's own item
    };
    for (const auto& s : states)
        EXPECT_EQ(s[2], SendMessageA(main, WM_APP_MENUSTATE, s[0], s[1]) & (MF_GRAYED | MF_CHECKED)) << s[1];

    // Commands go to the add-on first; help texts to the status bar.
    probe::Answer("service 4 40100", "1");
    probe::Answer("service 6 40100", "1|Choose the columns");
    mark = After().size();
    SendMessageA(main, WM_COMMAND, CommandOfItem(CmdFileSave), 0);
    SendMessageA(main, WM_COMMAND, 40100, 0);
    EXPECT_EQ((std::vector<std::string>{"service 4 20011", "service 3 Taro " + Path("Taro"), "service 4 40100"}),
              After(mark));
    LPARAM bar = reinterpret_cast<LPARAM>(GetMenu(main));   // any menu will do
    SendMessageA(main, WM_MENUSELECT, MAKEWPARAM(40100, MF_STRING), bar);
    EXPECT_EQ("Choose the columns", Text(status));
    SendMessageA(main, WM_MENUSELECT, MAKEWPARAM(CommandOfItem(CmdFileSave), MF_STRING), bar);
    EXPECT_EQ(Ansi(L"変更を保存します"), Text(status));

    // Keys typed in the view are offered to the add-on.
    HWND control = ProbeWindow(main);
    ASSERT_TRUE(control);
    PostMessageA(control, WM_KEYDOWN, VK_F8, 0);
    EXPECT_TRUE(WaitFor("service 10 " + std::to_string(reinterpret_cast<INT_PTR>(control)) + " 256 119 0"));

    // Find lists every hit and goes to the chosen one.
    probe::Answer("service 14", "Apple pie|sweet|1|1;apple tree||3|1;|||0");
    PostMessageA(main, WM_COMMAND, CommandOfItem(desktop::ItemEditFind), 0);
    HWND find = Window("#32770", Ansi(L"検索"));
    ASSERT_TRUE(find);
    SendMessageA(GetDlgItem(find, IDC_FIND_TEXT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("apple"));
    // Within a time: a host that never stops asking would hold the dialog.
    ASSERT_TRUE(SendMessageTimeoutA(GetDlgItem(find, IDC_FIND_START), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, nullptr));
    EXPECT_TRUE(WaitFor("service 13 apple 0 0"));
    EXPECT_EQ(2, SendMessageA(GetDlgItem(find, IDC_FIND_LIST), LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(Ansi(L"2 件見つかりました。"), Text(GetDlgItem(find, IDC_FIND_STATUS)));
    SendMessageA(GetDlgItem(find, IDC_FIND_GOTO), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor("service 15 1 1"));

    // Closing saves, deactivates and takes the control down cleanly.
    mark = After().size();
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, Exit());
    EXPECT_EQ((std::vector<std::string>{"service 3 Taro " + Path("Taro"), "application 4", "service 1 0",
                                        "disconnected 3", "destroyed"}),
              After(mark));
}

TEST_F(DesktopTest, SwitchingViewsActivatesOneAddOnAtATime)
{
    AddEntry("Second", probe::kProgId);
    AddEntry("Unknown", "No.Such.Control.1");
    HWND main = Start("--root \"" + root + "\" --user Hanako --addon Probe");
    ASSERT_TRUE(main);
    ASSERT_TRUE(WaitFor("open Hanako " + Path("Hanako") + " base 40000"));
    // Each add-on's own item (its command base + 100) is in the View menu
    // only while that add-on shows.
    auto own = [&](LPARAM command) { return SendMessageA(main, WM_APP_MENUSTATE, MenuView, command) != -1; };
    EXPECT_TRUE(own(40100));
    EXPECT_FALSE(own(41100));

    size_t mark = After().size();
    SendMessageA(GetDlgItem(main, IDC_ADDON_FIRST + 1), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor("open Hanako " + Path("Hanako") + " base 41000", mark));
    EXPECT_EQ("service 1 0", After(mark).front()) << "the first hears it is hidden before the second is made";
    EXPECT_FALSE(own(40100));
    EXPECT_TRUE(own(41100));

    // Back to the first: no new control, the two swap.
    mark = After().size();
    SendMessageA(GetDlgItem(main, IDC_ADDON_FIRST), BM_CLICK, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"service 1 0", "service 1 1"}), After(mark));
    EXPECT_TRUE(own(40100));
    EXPECT_FALSE(own(41100));

    // The view's control follows the window's size.
    HWND control = ProbeWindow(main);
    ASSERT_TRUE(control);
    SetWindowPos(main, nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    RECT view, rc;
    GetClientRect(GetDlgItem(main, IDC_VIEW), &view);
    for (int i = 0; i < 40 && (GetClientRect(control, &rc), !EqualRect(&rc, &view)); ++i)
        Sleep(50);
    EXPECT_TRUE(EqualRect(&rc, &view));

    // An add-on whose control cannot be made is explained, and the rest go on.
    PostMessageA(GetDlgItem(main, IDC_ADDON_FIRST + 2), BM_CLICK, 0, 0);
    EXPECT_NE(std::string::npos, Box().find("No.Such.Control.1"));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, Exit());
    std::vector<std::string> lines = After();
    EXPECT_EQ(2, std::count(lines.begin(), lines.end(), std::string("destroyed")));
}

TEST_F(DesktopTest, MalformedCommandLineIsExplained)
{
    Start("--colour blue", false);
    EXPECT_NE(std::string::npos, Box().find("--handheld"));
    EXPECT_EQ(64u, Exit());
}

} // namespace
