// Drives the real Ravelin.exe as a setup program and a user would: starts it
// with a command line beside the Conduit Manager and HotSync API stand-ins,
// answers its message boxes, reads its standard error, and reads the calls
// the stand-ins logged (each call, its arguments and its result).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "PeFile.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kNotifier[] = "C:\\Tessaly\\RvTestNotifier.dll";
const char* const kCreators[] = {"RvTa", "RvTb", "RvTc", "RvTd"};

// Texts as the program shows them.
const char kMsg136[] = u8"コンジットをインストールするときは Conduit、Directory、File を指定してください。";
const char kMsg137[] = u8"コンジットがすでに登録されています。上書きしますか？";
const char kMsg138[] = u8"コンジットの登録に失敗しました。";
const char kMsg139[] = u8"コンジットの登録解除に失敗しました。";
const char kMsg140[] = u8"Notifier がすでに登録されています。上書きしますか？";
const char kMsg141[] = u8"Notifier の登録に失敗しました。";
const char kMsg142[] = u8"Notifier の登録解除に失敗しました。";
const char kStatus131[] = u8"設定ファイルを読み込んでいます...";
const char kStatus132[] = u8"コンジットをインストールしています...";
const char kStatus133[] = u8"コンジットをアンインストールしています...";
const char kStatus134[] = u8"Notifier をインストールしています...";
const char kStatus135[] = u8"Notifier をアンインストールしています...";

std::string Utf8(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    if (n)
        WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

// The text of a window of another process; WM_GETTEXT is carried across.
std::string WindowText(HWND hWnd)
{
    wchar_t buf[2048] = {};
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(hWnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, &got))
        return "<no answer>";
    return Utf8(std::wstring(buf, got));
}

std::string ClassName(HWND hWnd)
{
    char buf[64] = {};
    GetClassNameA(hWnd, buf, sizeof buf);
    return buf;
}

// What the program showed when a message box came up.
struct Box {
    std::string title, text;
    bool okCancel = false;
    std::string status;          // the dialog's status line at that moment
    int progressHigh = -1;       // the progress bar's upper limit
    int progressPos = -1;
    LONG dialogStyle = 0, statusStyle = 0;
    std::string dialogTitle, intro;
};

struct Outcome {
    std::vector<Box> boxes;
    std::string stderrText;
    bool exited = false, dialogSeen = false;
    DWORD exitCode = 0xFFFFFFFF;   // 0 done, 1 a step failed, 2 a registration kept
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> t;
        for (const Box& b : boxes)
            t.push_back(b.text);
        return t;
    }
};

// The program's dialog (it has the progress bar) and any other visible
// dialog-class window of the process: a message box.
struct FindContext {
    DWORD pid;
    HWND dialog = nullptr, box = nullptr;
};

BOOL CALLBACK FindWindows(HWND hWnd, LPARAM lParam)
{
    auto* ctx = reinterpret_cast<FindContext*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid == ctx->pid && ClassName(hWnd) == "#32770") {
        if (GetDlgItem(hWnd, 1001))
            ctx->dialog = hWnd;
        else if (IsWindowVisible(hWnd))
            ctx->box = hWnd;
    }
    return TRUE;
}

// The longest static text of a message box is its message.
BOOL CALLBACK FindBoxText(HWND hWnd, LPARAM lParam)
{
    auto* text = reinterpret_cast<std::string*>(lParam);
    if (ClassName(hWnd) == "Static") {
        std::string t = WindowText(hWnd);
        if (t.size() > text->size())
            *text = t;
    }
    return TRUE;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    return lines;
}

void ForgetRegistrations()
{
    for (const char* creator : kCreators)
        RegDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\HotSync\\Conduits\\") + creator).c_str());
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\HotSync\\Notifiers", 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
        RegDeleteValueA(hKey, kNotifier);
        RegCloseKey(hKey);
    }
}

void RemoveTree(const std::string& dir)
{
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

std::string ModuleDirectory()
{
    char path[MAX_PATH];
    std::string s(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return s.substr(0, s.rfind('\\') + 1);
}

const std::string kN = kNotifier;
const std::string kMinimal = "[Conduit]\r\nCreatorId=RvTc\r\nConduit=x\r\nDirectory=x\r\nFile=x\r\n";

std::string FullIni(const char* creator)
{
    return std::string("[Conduit]\r\nCreatorId=") + creator +
           "\r\nConduit=C:\\Tessaly\\TessalyConduit.dll\r\nDirectory=Tessaly\r\nFile=record.dat\r\n"
           "RemoteDatabase=Tessaly-Vqxa\r\nName=Tessaly Memo\r\nPriority=3\r\n[Notifier]\r\nNotifier=" +
           kN + "\r\n";
}

// The calls a full install makes, and a full uninstall.
const std::vector<std::string> kFullInstall = {
    "67 RvTa 1 = 0",        "46 RvTa C:\\Tessaly\\TessalyConduit.dll = 0", "48 RvTa Tessaly = 0",
    "63 RvTa record.dat = 0", "50 RvTa Tessaly-Vqxa = 0", "54 RvTa Tessaly Memo = 0", "40 RvTa 3 = 0",
    "187 " + kN + " = 0",   "108 = 0"};
const std::vector<std::string> kFullUninstall = {"65 RvTa = 0", "188 " + kN + " = 0", "108 = 0"};

class RavelinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Xvfb runs no window manager, and Wine waits two seconds for one at
        // every window it hides; for this program, leave its windows unmanaged.
        HKEY hKey;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Ravelin.exe\\X11 Driver", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &hKey, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(hKey, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
            RegCloseKey(hKey);
        }
    }

    void SetUp() override
    {
        static int counter = 0;
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        m_dir = std::string(temp) + "rv" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter) +
                "\\";
        RemoveTree(m_dir);   // left by an earlier run whose process had this number
        ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr)) << m_dir;
        for (const char* file : {"Ravelin.exe", "CONDMGR.dll", "HSAPI.dll"})
            ASSERT_TRUE(CopyFileA((ModuleDirectory() + file).c_str(), (m_dir + file).c_str(), FALSE)) << file;
        m_log = m_dir + "calls.log";
        SetEnvironmentVariableA("TESSALY_HOTSYNC_CALLS", m_log.c_str());
        SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", nullptr);
        ForgetRegistrations();
    }

    void TearDown() override
    {
        SetEnvironmentVariableA("TESSALY_HOTSYNC_CALLS", nullptr);
        SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", nullptr);
        ForgetRegistrations();
        RemoveTree(m_dir);
    }

    void WriteIni(const std::string& name, const std::string& text)
    {
        std::ofstream(m_dir + name, std::ios::binary | std::ios::trunc) << text;
    }

    // Calls made since the last look, one line each.
    std::vector<std::string> TakeCalls()
    {
        std::ifstream in(m_log, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        in.close();
        DeleteFileA(m_log.c_str());
        return Lines(text);
    }

    // Starts the program with these arguments and answers each message box
    // with the next of the answers (OK once they run out).
    Outcome Start(const std::string& args, std::vector<int> answers = {}, const std::string& cwd = "")
    {
        Outcome run;
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        HANDLE hRead = nullptr, hWrite = nullptr;
        if (!CreatePipe(&hRead, &hWrite, &sa, 0)) {
            ADD_FAILURE() << "no pipe";
            return run;
        }
        SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = si.hStdError = hWrite;
        PROCESS_INFORMATION pi = {};
        std::string exe = m_dir + "Ravelin.exe";
        std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
        BOOL ok = CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, nullptr,
                                 cwd.empty() ? nullptr : cwd.c_str(), &si, &pi);
        CloseHandle(hWrite);
        if (!ok) {
            ADD_FAILURE() << "cannot start " << exe;
            CloseHandle(hRead);
            return run;
        }
        size_t next = 0;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
            if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) {
                run.exited = true;
                GetExitCodeProcess(pi.hProcess, &run.exitCode);
                break;
            }
            FindContext ctx;
            ctx.pid = pi.dwProcessId;
            EnumWindows(FindWindows, reinterpret_cast<LPARAM>(&ctx));
            run.dialogSeen |= ctx.dialog != nullptr;
            if (!ctx.box)
                continue;
            Sleep(100);   // let the box finish coming up
            Box box;
            wchar_t title[256] = {};
            GetWindowTextW(ctx.box, title, 256);
            box.title = Utf8(title);
            EnumChildWindows(ctx.box, FindBoxText, reinterpret_cast<LPARAM>(&box.text));
            box.okCancel = GetDlgItem(ctx.box, IDCANCEL) != nullptr;
            if (ctx.dialog) {
                box.status = WindowText(GetDlgItem(ctx.dialog, 1000));
                box.dialogTitle = WindowText(ctx.dialog);
                box.intro = WindowText(GetDlgItem(ctx.dialog, -1));
                box.dialogStyle = GetWindowLongA(ctx.dialog, GWL_STYLE);
                box.statusStyle = GetWindowLongA(GetDlgItem(ctx.dialog, 1000), GWL_STYLE);
                HWND progress = GetDlgItem(ctx.dialog, 1001);
                DWORD_PTR v = 0;
                if (SendMessageTimeoutW(progress, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 5000, &v))
                    box.progressHigh = static_cast<int>(v);
                if (SendMessageTimeoutW(progress, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &v))
                    box.progressPos = static_cast<int>(v);
            }
            run.boxes.push_back(box);
            int answer = next < answers.size() ? answers[next++] : IDOK;
            PostMessageW(ctx.box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
            for (int i = 0; i < 100 && IsWindow(ctx.box); ++i)
                Sleep(50);
        }
        if (!run.exited) {
            ADD_FAILURE() << "Ravelin did not end: " << args;
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        // Only what is there: a blocking read would wait for every holder of
        // the pipe's other end.
        char buf[4096];
        DWORD avail = 0, got = 0;
        while (PeekNamedPipe(hRead, nullptr, 0, nullptr, &avail, nullptr) && avail > 0 &&
               ReadFile(hRead, buf, sizeof buf, &got, nullptr) && got > 0)
            run.stderrText.append(buf, got);
        CloseHandle(hRead);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return run;
    }

    std::string m_dir, m_log;
};

} // namespace

TEST_F(RavelinTest, InstallsEverythingSilentlyThenUninstalls)
{
    WriteIni("full.ini", FullIni("RvTa"));
    Outcome run = Start("-f full.ini");
    EXPECT_TRUE(run.exited);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.stderrText, "");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(TakeCalls(), kFullInstall);

    run = Start("-f full.ini -u");
    EXPECT_TRUE(run.exited);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(TakeCalls(), kFullUninstall);
}

TEST_F(RavelinTest, ExistingRegistrationsAskBeforeOverwriting)
{
    WriteIni("full.ini", FullIni("RvTa"));
    Start("-f full.ini");
    TakeCalls();

    // Cancel twice: nothing changes, nothing is refreshed, no error.
    WriteIni("new.ini", "[Conduit]\r\nCreatorId=RvTa\r\nConduit=D:\\New.dll\r\nDirectory=New\r\nFile=new.dat\r\n"
                        "Priority=high\r\n[Notifier]\r\nNotifier=" + kN + "\r\n");
    Outcome run = Start("-f new.ini", {IDCANCEL, IDCANCEL});
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[0].title, "Ravelin");
    EXPECT_EQ(run.Texts(), (std::vector<std::string>{kMsg137, kMsg140}));
    EXPECT_TRUE(run.boxes[0].okCancel);
    EXPECT_EQ(run.boxes[0].status, kStatus132);
    EXPECT_EQ(run.boxes[0].progressHigh, 2);
    EXPECT_EQ(run.boxes[0].progressPos, 0);
    EXPECT_EQ(run.boxes[1].status, kStatus134);
    EXPECT_EQ(run.boxes[1].progressPos, 1);
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"67 RvTa 1 = -1005", "187 " + kN + " = -1019"}));
    EXPECT_EQ(run.exitCode, 2u);
    // The dialog as it stands on the screen: a fixed frame, a read-only status line.
    EXPECT_EQ(run.boxes[1].dialogTitle, "Ravelin");
    EXPECT_EQ(run.boxes[1].intro, u8"コンジットマネージャの設定を行います。");
    EXPECT_EQ(run.boxes[1].dialogStyle & (WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                                          WS_MAXIMIZEBOX),
              WS_VISIBLE | WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(run.boxes[1].statusStyle & (ES_READONLY | ES_MULTILINE), ES_READONLY);


    // OK twice: both are removed and made anew; a priority that is no
    // number is 0.
    run = Start("-f new.ini", {IDOK, IDOK});
    EXPECT_EQ(run.Texts(), (std::vector<std::string>{kMsg137, kMsg140}));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{
                               "67 RvTa 1 = -1005", "65 RvTa = 0", "67 RvTa 1 = 0", "46 RvTa D:\\New.dll = 0",
                               "48 RvTa New = 0", "63 RvTa new.dat = 0", "40 RvTa 0 = 0", "187 " + kN + " = -1019",
                               "188 " + kN + " = 0", "187 " + kN + " = 0", "108 = 0"}));

    // Keeping the conduit but replacing the notifier is still a change.
    run = Start("-f new.ini", {IDCANCEL, IDOK});
    EXPECT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"67 RvTa 1 = -1005", "187 " + kN + " = -1019",
                                                     "188 " + kN + " = 0", "187 " + kN + " = 0", "108 = 0"}));
}

// Optional keys absent, names in any case, and a value longer than the
// first buffer the program reads settings into (512 characters) read whole.
TEST_F(RavelinTest, OptionalKeysAbsentNamesInAnyCaseAndLongValues)
{
    const std::string dir(700, 'd');
    WriteIni("min.ini", "[conduit]\r\ncreatorid=RvTb\r\nCONDUIT=C:\\c.dll\r\nDirectory=" + dir + "\r\nFile=F\r\n");
    Outcome run = Start("-f min.ini");
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"67 RvTb 1 = 0", "46 RvTb C:\\c.dll = 0", "48 RvTb " + dir + " = 0",
                                                     "63 RvTb F = 0", "40 RvTb 2 = 0", "108 = 0"}));
}

TEST_F(RavelinTest, InstallWithoutFileSkipsTheConduitOnly)
{
    WriteIni("nofile.ini", "[Conduit]\r\nCreatorId=RvTa\r\nConduit=C:\\c.dll\r\nDirectory=D\r\nFile=\r\n"
                           "[Notifier]\r\nNotifier=" + kN + "\r\n");
    Outcome run = Start("-f nofile.ini");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].title, "Ravelin");
    EXPECT_EQ(run.boxes[0].text, kMsg136);
    EXPECT_FALSE(run.boxes[0].okCancel);
    EXPECT_EQ(run.boxes[0].status, kStatus131);
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"187 " + kN + " = 0", "108 = 0"}));

    // Again: the notifier is the only step the progress bar counts.
    run = Start("-f nofile.ini", {IDOK, IDCANCEL});
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.Texts(), (std::vector<std::string>{kMsg136, kMsg140}));
    EXPECT_EQ(run.boxes[1].status, kStatus134);
    EXPECT_EQ(run.boxes[1].progressHigh, 1);
    EXPECT_EQ(run.boxes[1].progressPos, 0);
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"187 " + kN + " = -1019"}));

    // Uninstall does not ask for those keys: it tries to remove the entry.
    run = Start("-u -f nofile.ini");
    EXPECT_EQ(run.Texts(), (std::vector<std::string>{kMsg139}));
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"65 RvTa = -1002", "188 " + kN + " = 0", "108 = 0"}));
}

TEST_F(RavelinTest, UninstallNeedsOnlyTheCreatorIdAndReportsWhatIsNotThere)
{
    WriteIni("full.ini", FullIni("RvTa"));
    WriteIni("only.ini", "[Conduit]\r\nCreatorId=RvTa\r\n");
    Start("-f full.ini");
    TakeCalls();
    Outcome run = Start("-u -f only.ini");
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"65 RvTa = 0", "108 = 0"}));

    ForgetRegistrations();
    run = Start("-f full.ini -u");
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.Texts(), (std::vector<std::string>{kMsg139, kMsg142}));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.boxes[0].status, kStatus133);
    EXPECT_EQ(run.boxes[0].progressHigh, 2);
    EXPECT_EQ(run.boxes[1].status, kStatus135);
    EXPECT_EQ(run.boxes[1].progressPos, 1);
    // Nothing changed: nothing to refresh.
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"65 RvTa = -1002", "188 " + kN + " = -1006"}));
}

// Each case from a fresh registry; an uninstall after a full install.
TEST_F(RavelinTest, FailingCallsAreReportedAndTheNotifierStepStillRuns)
{
    WriteIni("full.ini", FullIni("RvTa"));
    std::vector<std::string> notifierFails(kFullInstall.begin(), kFullInstall.end() - 2);
    notifierFails.insert(notifierFails.end(), {"187 " + kN + " = -1099", "108 = 0"});
    struct Case {
        const char* fail;
        bool uninstall;
        std::vector<std::string> boxes, calls;
    } cases[] = {
        // A setter fails: the entry stays as far as it got.
        {"63", false, {kMsg138},
         {"67 RvTa 1 = 0", "46 RvTa C:\\Tessaly\\TessalyConduit.dll = 0", "48 RvTa Tessaly = 0",
          "63 RvTa record.dat = -1099", "187 " + kN + " = 0", "108 = 0"}},
        {"67", false, {kMsg138}, {"67 RvTa 1 = -1099", "187 " + kN + " = 0", "108 = 0"}},
        {"187", false, {kMsg141}, notifierFails},
        // Removal fails: the notifier is removed all the same.
        {"65", true, {kMsg139}, {"65 RvTa = -1099", "188 " + kN + " = 0", "108 = 0"}},
        {"188,65", true, {kMsg139, kMsg142}, {"65 RvTa = -1099", "188 " + kN + " = -1099"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fail);
        ForgetRegistrations();
        if (c.uninstall)
            Start("-f full.ini");
        TakeCalls();
        SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", c.fail);
        Outcome run = Start(c.uninstall ? "-u -f full.ini" : "-f full.ini");
        SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", nullptr);
        EXPECT_EQ(run.Texts(), c.boxes);
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_EQ(TakeCalls(), c.calls);
    }
}

TEST_F(RavelinTest, NothingToDoClosesAtOnceWithoutAnyCall)
{
    // A damaged file reads as far as it makes sense.
    std::string junk("\xFF\xFE[Conduit\r\n\0\x01\x95=\r\nCreatorId\r\n=RvTa\r\n[]\r\n==\r\n", 38);
    WriteIni("junk.ini", junk + std::string(5000, 'x'));
    WriteIni("empty.ini", "[Conduit]\r\nConduit=C:\\c.dll\r\n[Notifier]\r\nNotifier=\r\n");
    WriteIni("abs.ini", FullIni("RvTa"));
    // An absolute name is appended to the program's directory: no such file.
    for (const std::string& args : std::vector<std::string>{"-f empty.ini", "-f missing.ini", "-f junk.ini", "-f " + m_dir + "abs.ini"}) {
        Outcome run = Start(args);
        EXPECT_TRUE(run.exited) << args;
        EXPECT_TRUE(run.boxes.empty()) << args;
    }
    EXPECT_TRUE(TakeCalls().empty());
}

TEST_F(RavelinTest, SettingsFileIsFoundBesideTheProgram)
{
    // No -f: Ravelin.ini beside the program, whatever the current directory.
    WriteIni("Ravelin.ini", FullIni("RvTb"));
    std::string elsewhere = m_dir + "elsewhere\\";
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
    WriteIni("elsewhere\\Ravelin.ini", kMinimal);
    Start("", {}, elsewhere);
    std::vector<std::string> calls = TakeCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], "67 RvTb 1 = 0");

    // A relative name with a subdirectory of the program's directory.
    ASSERT_TRUE(CreateDirectoryA((m_dir + "sub").c_str(), nullptr));
    WriteIni("sub\\x.ini", kMinimal);
    Start("-f sub\\x.ini", {}, elsewhere);
    calls = TakeCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], "67 RvTc 1 = 0");
}

TEST_F(RavelinTest, UsageTextOnlyWithH)
{
    WriteIni("full.ini", FullIni("RvTa"));
    Outcome run = Start("-f full.ini -i -h");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].title, "Ravelin");
    EXPECT_FALSE(run.boxes[0].okCancel);
    EXPECT_EQ(Lines(run.boxes[0].text),
              (std::vector<std::string>{"USAGE:", "  install    Ravelin -f file.ini [-i]",
                                        "  uninstall  Ravelin -f file.ini -u", "INI file format:", "  [Conduit]",
                                        "  CreatorId=SmPl", "  Conduit=C:\\Program Files\\Sample\\SampleConduit.dll",
                                        "  Directory=Sample", "  File=Sample.DAT", "  RemoteDatabase=Record-SmPl",
                                        "  Name=Sample Conduit", "  Priority=2", "  [Notifier]",
                                        "  Notifier=C:\\Program Files\\Sample\\SampleNotifier.dll"}));
    EXPECT_FALSE(run.dialogSeen);
    EXPECT_TRUE(TakeCalls().empty());
}

TEST_F(RavelinTest, StandardErrorTexts)
{
    // -f at the end leaves the default name in force.
    WriteIni("Ravelin.ini", kMinimal);
    Outcome run = Start("-x -: -f");
    std::string exe = m_dir + "Ravelin.exe";
    EXPECT_EQ(Lines(run.stderrText), (std::vector<std::string>{exe + ": illegal option -- x",
                                                               exe + ": illegal option -- :",
                                                               exe + ": option requires an argument -- f"}));
    std::vector<std::string> calls = TakeCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], "67 RvTc 1 = 0");
}

TEST_F(RavelinTest, SettingsPathMustFitThePathLimit)
{
    // 259 characters with the terminator make 260: accepted.
    std::string dirName(259 - m_dir.size() - 6, 'd');
    ASSERT_TRUE(CreateDirectoryA((m_dir + dirName).c_str(), nullptr));
    WriteIni(dirName + "\\x.ini", kMinimal);
    ASSERT_EQ((m_dir + dirName + "\\x.ini").size(), 259u);
    Outcome run = Start("-f " + dirName + "\\x.ini");
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_FALSE(TakeCalls().empty());

    // One more character is refused before anything is read or registered.
    for (const std::string& name : std::vector<std::string>{dirName + "\\xx.ini", std::string(400, 'y')}) {
        run = Start("-f " + name);
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].title, "Ravelin");
        EXPECT_EQ(run.boxes[0].text,
                  u8"設定ファイルのパスが長すぎます（260 文字未満にしてください）。何も登録しません。");
        EXPECT_FALSE(run.dialogSeen);
        EXPECT_TRUE(TakeCalls().empty());
    }
}

// The program must load in the genuine host: a 32-bit GUI program that
// imports exactly these ordinals and no names from the two libraries.
TEST(RavelinImage, GuiProgramImportingByOrdinal)
{
    testsupport::PeFile pe(ModuleDirectory() + "Ravelin.exe");
    ASSERT_TRUE(pe.Ok());
    EXPECT_EQ(pe.Machine(), 0x14Cu);   // i386
    EXPECT_EQ(pe.Subsystem(), 2u);     // Windows GUI
    EXPECT_EQ(pe.Imports("CONDMGR.dll"), (std::set<std::string>{"#40", "#46", "#48", "#50", "#54", "#63", "#65",
                                                                 "#67", "#187", "#188"}));
    EXPECT_EQ(pe.Imports("HSAPI.dll"), (std::set<std::string>{"#108"}));
}

// The icon, large and small.
TEST(RavelinImage, IconInTwoSizes)
{
    HMODULE hModule = LoadLibraryExA((ModuleDirectory() + "Ravelin.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hModule, nullptr);
    HRSRC hRes = FindResourceA(hModule, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14));
    ASSERT_NE(hRes, nullptr);
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(hModule, hRes)));
    std::vector<int> sizes;
    for (int i = 0; i < (dir[4] | (dir[5] << 8)); ++i)
        sizes.push_back(dir[6 + 14 * i]);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int>{16, 32}));
    FreeLibrary(hModule);
}
