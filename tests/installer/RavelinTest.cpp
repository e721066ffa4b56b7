// Drives the real Ravelin.exe as a setup program and a user would: starts it
// with a command line beside the Conduit Manager and HotSync API stand-ins,
// answers its message boxes, reads its standard error, and reads the
// registrations afterwards.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char kConduitsKey[] = "Software\\HotSync\\Conduits";
const char kNotifiersKey[] = "Software\\HotSync\\Notifiers";
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
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
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
    std::string title;
    std::string text;
    UINT style = 0;
    std::string status;          // the dialog's status line at that moment
    int progressHigh = -1;       // the progress bar's upper limit
    int progressPos = -1;
};

struct Outcome {
    std::vector<Box> boxes;
    std::string stderrText;
    bool exited = false;
    bool dialogSeen = false;
    DWORD exitCode = 0xFFFFFFFF;   // 0 done, 1 a step failed, 2 a registration kept
};

struct FindContext {
    DWORD pid;
    HWND dialog = nullptr;
    HWND box = nullptr;
};

BOOL CALLBACK FindWindows(HWND hWnd, LPARAM lParam)
{
    auto* ctx = reinterpret_cast<FindContext*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid != ctx->pid || ClassName(hWnd) != "#32770")
        return TRUE;
    if (GetDlgItem(hWnd, 1001))
        ctx->dialog = hWnd;
    else if (IsWindowVisible(hWnd))
        ctx->box = hWnd;
    return TRUE;
}

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

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool ReadString(const std::string& key, const char* value, std::string& out)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    char buf[1024] = {};
    DWORD type = 0, size = sizeof buf - 1;
    LONG rc = RegQueryValueExA(hKey, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return false;
    out = buf;
    return true;
}

bool ReadDword(const std::string& key, const char* value, DWORD& out)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = sizeof out;
    LONG rc = RegQueryValueExA(hKey, value, nullptr, &type, reinterpret_cast<BYTE*>(&out), &size);
    RegCloseKey(hKey);
    return rc == ERROR_SUCCESS && type == REG_DWORD;
}

bool KeyExists(const std::string& key)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

std::string Entry(const char* creator)
{
    return std::string(kConduitsKey) + "\\" + creator;
}

DWORD Refreshes()
{
    DWORD n = 0;
    return ReadDword("Software\\HotSync", "Refreshes", n) ? n : 0;
}

bool NotifierRegistered(const char* path)
{
    std::string data;
    return ReadString(kNotifiersKey, path, data) && data == path;
}

void ForgetRegistrations()
{
    for (const char* creator : kCreators)
        RegDeleteKeyA(HKEY_CURRENT_USER, Entry(creator).c_str());
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kNotifiersKey, 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
        RegDeleteValueA(hKey, kNotifier);
        RegCloseKey(hKey);
    }
}

// Removes a folder with everything in it.
void RemoveTree(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(dir + name + "\\");
            else
                DeleteFileA((dir + name).c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

std::string ModuleDirectory()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.rfind('\\') + 1);
}

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
        std::string bin = ModuleDirectory();
        for (const char* file : {"Ravelin.exe", "CONDMGR.dll", "HSAPI.dll"})
            ASSERT_TRUE(CopyFileA((bin + file).c_str(), (m_dir + file).c_str(), FALSE)) << file;
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
        std::ofstream out(m_dir + name, std::ios::binary | std::ios::trunc);
        out << text;
    }

    std::string FullIni(const char* creator, const char* conduit = "C:\\Tessaly\\TessalyConduit.dll")
    {
        return std::string("[Conduit]\r\nCreatorId=") + creator + "\r\nConduit=" + conduit +
               "\r\nDirectory=Tessaly\r\nFile=record.dat\r\nRemoteDatabase=Tessaly-Vqxa\r\n"
               "Name=Tessaly Memo\r\nPriority=3\r\n[Notifier]\r\nNotifier=" +
               kNotifier + "\r\n";
    }

    // Calls made since the last look, one line each.
    std::vector<std::string> TakeCalls()
    {
        std::vector<std::string> calls = Lines(ReadFileText(m_log));
        DeleteFileA(m_log.c_str());
        return calls;
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
        si.hStdOutput = hWrite;
        si.hStdError = hWrite;
        PROCESS_INFORMATION pi = {};
        std::string exe = m_dir + "Ravelin.exe";
        std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
        std::vector<char> cmdBuf(cmd.begin(), cmd.end());
        cmdBuf.push_back('\0');
        BOOL ok = CreateProcessA(exe.c_str(), cmdBuf.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 cwd.empty() ? nullptr : cwd.c_str(), &si, &pi);
        CloseHandle(hWrite);
        if (!ok) {
            ADD_FAILURE() << "cannot start " << exe;
            CloseHandle(hRead);
            return run;
        }

        size_t next = 0;
        DWORD start = GetTickCount();
        while (GetTickCount() - start < 30000) {
            if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) {
                run.exited = true;
                GetExitCodeProcess(pi.hProcess, &run.exitCode);
                break;
            }
            FindContext ctx;
            ctx.pid = pi.dwProcessId;
            EnumWindows(FindWindows, reinterpret_cast<LPARAM>(&ctx));
            if (ctx.dialog)
                run.dialogSeen = true;
            if (!ctx.box)
                continue;
            Sleep(100);   // let the box finish coming up
            Box box;
            wchar_t title[256] = {};
            GetWindowTextW(ctx.box, title, 256);
            box.title = Utf8(title);
            EnumChildWindows(ctx.box, FindBoxText, reinterpret_cast<LPARAM>(&box.text));
            box.style = 0;
            if (GetDlgItem(ctx.box, IDCANCEL))
                box.style |= MB_OKCANCEL;
            if (ctx.dialog) {
                box.status = WindowText(GetDlgItem(ctx.dialog, 1000));
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

    std::string m_dir;
    std::string m_log;
};

} // namespace

TEST_F(RavelinTest, InstallsEverythingSilentlyThenUninstalls)
{
    WriteIni("full.ini", FullIni("RvTa"));
    DWORD before = Refreshes();
    Outcome run = Start("-f full.ini");
    EXPECT_TRUE(run.exited);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.stderrText, "");
    EXPECT_EQ(run.exitCode, 0u);

    std::string s;
    ASSERT_TRUE(ReadString(Entry("RvTa"), "Conduit", s));
    EXPECT_EQ(s, "C:\\Tessaly\\TessalyConduit.dll");
    ASSERT_TRUE(ReadString(Entry("RvTa"), "Directory", s));
    EXPECT_EQ(s, "Tessaly");
    ASSERT_TRUE(ReadString(Entry("RvTa"), "File", s));
    EXPECT_EQ(s, "record.dat");
    ASSERT_TRUE(ReadString(Entry("RvTa"), "RemoteDatabase", s));
    EXPECT_EQ(s, "Tessaly-Vqxa");
    ASSERT_TRUE(ReadString(Entry("RvTa"), "Name", s));
    EXPECT_EQ(s, "Tessaly Memo");
    DWORD priority = 0;
    ASSERT_TRUE(ReadDword(Entry("RvTa"), "Priority", priority));
    EXPECT_EQ(priority, 3u);
    EXPECT_TRUE(NotifierRegistered(kNotifier));
    EXPECT_EQ(Refreshes(), before + 1);
    std::string n = kNotifier;
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{
                               "67 RvTa 1 = 0", "46 RvTa C:\\Tessaly\\TessalyConduit.dll = 0", "48 RvTa Tessaly = 0",
                               "63 RvTa record.dat = 0", "50 RvTa Tessaly-Vqxa = 0", "54 RvTa Tessaly Memo = 0",
                               "40 RvTa 3 = 0", "187 " + n + " = 0", "108 = 0"}));

    run = Start("-f full.ini -u");
    EXPECT_TRUE(run.exited);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(KeyExists(Entry("RvTa")));
    EXPECT_FALSE(NotifierRegistered(kNotifier));
    EXPECT_EQ(Refreshes(), before + 2);
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"65 RvTa = 0", "188 " + n + " = 0", "108 = 0"}));
}

TEST_F(RavelinTest, ExistingRegistrationsAskBeforeOverwriting)
{
    WriteIni("full.ini", FullIni("RvTa"));
    Start("-f full.ini");
    TakeCalls();
    DWORD before = Refreshes();
    std::string n = kNotifier;

    // Cancel twice: nothing changes, nothing is refreshed, no error.
    WriteIni("new.ini", "[Conduit]\r\nCreatorId=RvTa\r\nConduit=D:\\New.dll\r\nDirectory=New\r\nFile=new.dat\r\n"
                        "Priority=high\r\n[Notifier]\r\nNotifier=" + n + "\r\n");
    Outcome run = Start("-f new.ini", {IDCANCEL, IDCANCEL});
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[0].title, "Ravelin");
    EXPECT_EQ(run.boxes[0].text, kMsg137);
    EXPECT_EQ(run.boxes[0].style, static_cast<UINT>(MB_OKCANCEL));
    EXPECT_EQ(run.boxes[0].status, kStatus132);
    EXPECT_EQ(run.boxes[0].progressHigh, 2);
    EXPECT_EQ(run.boxes[0].progressPos, 0);
    EXPECT_EQ(run.boxes[1].text, kMsg140);
    EXPECT_EQ(run.boxes[1].status, kStatus134);
    EXPECT_EQ(run.boxes[1].progressPos, 1);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(Refreshes(), before);
    std::string s;
    ASSERT_TRUE(ReadString(Entry("RvTa"), "Conduit", s));
    EXPECT_EQ(s, "C:\\Tessaly\\TessalyConduit.dll");
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"67 RvTa 1 = -1005", "187 " + n + " = -1019"}));

    // OK twice: both are removed and made anew; the old optional values go.
    run = Start("-f new.ini", {IDOK, IDOK});
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[0].text, kMsg137);
    EXPECT_EQ(run.boxes[1].text, kMsg140);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Refreshes(), before + 1);
    ASSERT_TRUE(ReadString(Entry("RvTa"), "Conduit", s));
    EXPECT_EQ(s, "D:\\New.dll");
    EXPECT_FALSE(ReadString(Entry("RvTa"), "Name", s));
    DWORD priority = 99;
    ASSERT_TRUE(ReadDword(Entry("RvTa"), "Priority", priority));
    EXPECT_EQ(priority, 0u);   // not a number
    EXPECT_TRUE(NotifierRegistered(kNotifier));
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{
                               "67 RvTa 1 = -1005", "65 RvTa = 0", "67 RvTa 1 = 0", "46 RvTa D:\\New.dll = 0",
                               "48 RvTa New = 0", "63 RvTa new.dat = 0", "40 RvTa 0 = 0", "187 " + n + " = -1019",
                               "188 " + n + " = 0", "187 " + n + " = 0", "108 = 0"}));

    // Keeping the conduit but replacing the notifier is still a change.
    run = Start("-f new.ini", {IDCANCEL, IDOK});
    EXPECT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(Refreshes(), before + 2);
}

TEST_F(RavelinTest, OptionalKeysAbsent)
{
    WriteIni("min.ini", "[conduit]\r\ncreatorid=RvTb\r\nCONDUIT=C:\\c.dll\r\nDirectory=D\r\nFile=F\r\n");
    DWORD before = Refreshes();
    Outcome run = Start("-f min.ini");
    EXPECT_TRUE(run.boxes.empty());
    std::string s;
    EXPECT_TRUE(ReadString(Entry("RvTb"), "Conduit", s));
    EXPECT_FALSE(ReadString(Entry("RvTb"), "RemoteDatabase", s));
    EXPECT_FALSE(ReadString(Entry("RvTb"), "Name", s));
    DWORD priority = 0;
    ASSERT_TRUE(ReadDword(Entry("RvTb"), "Priority", priority));
    EXPECT_EQ(priority, 2u);
    EXPECT_EQ(Refreshes(), before + 1);
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"67 RvTb 1 = 0", "46 RvTb C:\\c.dll = 0", "48 RvTb D = 0",
                                                     "63 RvTb F = 0", "40 RvTb 2 = 0", "108 = 0"}));
}

TEST_F(RavelinTest, InstallWithoutFileSkipsTheConduitOnly)
{
    std::string n = kNotifier;
    WriteIni("nofile.ini", "[Conduit]\r\nCreatorId=RvTa\r\nConduit=C:\\c.dll\r\nDirectory=D\r\nFile=\r\n"
                           "[Notifier]\r\nNotifier=" + n + "\r\n");
    DWORD before = Refreshes();
    Outcome run = Start("-f nofile.ini");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].title, "Ravelin");
    EXPECT_EQ(run.boxes[0].text, kMsg136);
    EXPECT_EQ(run.boxes[0].style, 0u);
    EXPECT_EQ(run.boxes[0].status, kStatus131);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_FALSE(KeyExists(Entry("RvTa")));
    EXPECT_TRUE(NotifierRegistered(kNotifier));
    EXPECT_EQ(Refreshes(), before + 1);
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"187 " + n + " = 0", "108 = 0"}));

    // Again: the notifier is the only step the progress bar counts.
    run = Start("-f nofile.ini", {IDOK, IDCANCEL});
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[0].text, kMsg136);
    EXPECT_EQ(run.boxes[1].text, kMsg140);
    EXPECT_EQ(run.boxes[1].status, kStatus134);
    EXPECT_EQ(run.boxes[1].progressHigh, 1);
    EXPECT_EQ(run.boxes[1].progressPos, 0);
    EXPECT_EQ(Refreshes(), before + 1);

    // Uninstall does not ask for those keys: it tries to remove the entry.
    run = Start("-u -f nofile.ini");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, kMsg139);
    EXPECT_FALSE(NotifierRegistered(kNotifier));
}

TEST_F(RavelinTest, UninstallWithOnlyTheCreatorId)
{
    WriteIni("full.ini", FullIni("RvTa"));
    Start("-f full.ini");
    WriteIni("only.ini", "[Conduit]\r\nCreatorId=RvTa\r\n");
    TakeCalls();
    DWORD before = Refreshes();
    Outcome run = Start("-u -f only.ini");
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_FALSE(KeyExists(Entry("RvTa")));
    EXPECT_TRUE(NotifierRegistered(kNotifier));
    EXPECT_EQ(Refreshes(), before + 1);
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"65 RvTa = 0", "108 = 0"}));
}

TEST_F(RavelinTest, UninstallingWhatIsNotThereReportsBoth)
{
    WriteIni("full.ini", FullIni("RvTa"));
    DWORD before = Refreshes();
    Outcome run = Start("-f full.ini -u");
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[0].text, kMsg139);
    EXPECT_EQ(run.boxes[0].status, kStatus133);
    EXPECT_EQ(run.boxes[0].progressHigh, 2);
    EXPECT_EQ(run.boxes[1].text, kMsg142);
    EXPECT_EQ(run.boxes[1].status, kStatus135);
    EXPECT_EQ(run.boxes[1].progressPos, 1);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(Refreshes(), before);
}

TEST_F(RavelinTest, FailingCallsAreReportedAndTheNotifierStepStillRuns)
{
    std::string n = kNotifier;
    WriteIni("full.ini", FullIni("RvTa"));
    DWORD before = Refreshes();

    // A setter fails: the entry stays as far as it got.
    SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", "63");
    Outcome run = Start("-f full.ini");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, kMsg138);
    EXPECT_EQ(run.boxes[0].status, kStatus132);
    EXPECT_EQ(run.exitCode, 1u);
    std::string s;
    EXPECT_TRUE(ReadString(Entry("RvTa"), "Directory", s));
    EXPECT_FALSE(ReadString(Entry("RvTa"), "File", s));
    EXPECT_TRUE(NotifierRegistered(kNotifier));
    EXPECT_EQ(Refreshes(), before + 1);
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"67 RvTa 1 = 0", "46 RvTa C:\\Tessaly\\TessalyConduit.dll = 0",
                                                     "48 RvTa Tessaly = 0", "63 RvTa record.dat = -1099",
                                                     "187 " + n + " = 0", "108 = 0"}));

    // Removal fails: message 139, the notifier is removed all the same.
    SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", "65");
    run = Start("-u -f full.ini");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, kMsg139);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(KeyExists(Entry("RvTa")));
    EXPECT_FALSE(NotifierRegistered(kNotifier));
    EXPECT_EQ(Refreshes(), before + 2);

    // The notifier's own failures.
    RegDeleteKeyA(HKEY_CURRENT_USER, Entry("RvTa").c_str());
    SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", "187");
    run = Start("-f full.ini");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, kMsg141);
    EXPECT_EQ(run.boxes[0].status, kStatus134);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(KeyExists(Entry("RvTa")));
    SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", "188,65");
    run = Start("-u -f full.ini");
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[0].text, kMsg139);
    EXPECT_EQ(run.boxes[1].text, kMsg142);

    // Creating the entry fails.
    RegDeleteKeyA(HKEY_CURRENT_USER, Entry("RvTa").c_str());
    SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", "67");
    TakeCalls();
    run = Start("-f full.ini");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, kMsg138);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"67 RvTa 1 = -1099", "187 " + n + " = 0", "108 = 0"}));
}

TEST_F(RavelinTest, NothingToDoClosesAtOnceWithoutAnyCall)
{
    DWORD before = Refreshes();
    WriteIni("empty.ini", "[Conduit]\r\nConduit=C:\\c.dll\r\n[Notifier]\r\nNotifier=\r\n");
    Outcome run = Start("-f empty.ini");
    EXPECT_TRUE(run.exited);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.exitCode, 0u);
    run = Start("-f missing.ini");
    EXPECT_TRUE(run.exited);
    EXPECT_TRUE(run.boxes.empty());
    // A damaged file reads as far as it makes sense.
    std::string junk("\xFF\xFE[Conduit\r\n\0\x01\x95=\r\nCreatorId\r\n=RvTa\r\n[]\r\n==\r\n", 38);
    junk += std::string(5000, 'x');
    WriteIni("junk.ini", junk);
    run = Start("-f junk.ini");
    EXPECT_TRUE(run.exited);
    EXPECT_TRUE(run.boxes.empty());
    // An absolute name is appended to the program's directory: no such file.
    WriteIni("abs.ini", FullIni("RvTa"));
    run = Start("-f " + m_dir + "abs.ini");
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_FALSE(KeyExists(Entry("RvTa")));
    EXPECT_TRUE(TakeCalls().empty());
    EXPECT_EQ(Refreshes(), before);
}

TEST_F(RavelinTest, SettingsFileIsFoundBesideTheProgram)
{
    // No -f: Ravelin.ini beside the program, whatever the current directory.
    WriteIni("Ravelin.ini", FullIni("RvTb"));
    std::string elsewhere = m_dir + "elsewhere\\";
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
    std::ofstream(elsewhere + "Ravelin.ini") << "[Conduit]\r\nCreatorId=RvTc\r\nConduit=x\r\nDirectory=x\r\nFile=x\r\n";
    Start("", {}, elsewhere);
    EXPECT_TRUE(KeyExists(Entry("RvTb")));
    EXPECT_FALSE(KeyExists(Entry("RvTc")));

    // A relative name with a subdirectory of the program's directory.
    ASSERT_TRUE(CreateDirectoryA((m_dir + "sub").c_str(), nullptr));
    WriteIni("sub\\x.ini", "[Conduit]\r\nCreatorId=RvTd\r\nConduit=x\r\nDirectory=x\r\nFile=x\r\n");
    Start("-f sub\\x.ini", {}, elsewhere);
    EXPECT_TRUE(KeyExists(Entry("RvTd")));
}

TEST_F(RavelinTest, ModeOptionsLastOneWins)
{
    WriteIni("full.ini", FullIni("RvTa"));
    Start("-u -i -f full.ini");
    EXPECT_TRUE(KeyExists(Entry("RvTa")));
    Start("-i -u -f full.ini");
    EXPECT_FALSE(KeyExists(Entry("RvTa")));
    EXPECT_FALSE(NotifierRegistered(kNotifier));
    // Grouped, with the file name in the next argument.
    Start("-if full.ini");
    EXPECT_TRUE(KeyExists(Entry("RvTa")));
}

TEST_F(RavelinTest, UsageTextOnlyWithH)
{
    WriteIni("full.ini", FullIni("RvTa"));
    DWORD before = Refreshes();
    Outcome run = Start("-f full.ini -i -h");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].title, "Ravelin");
    EXPECT_EQ(run.boxes[0].style, 0u);
    EXPECT_EQ(Lines(run.boxes[0].text),
              (std::vector<std::string>{"USAGE:", "  install    Ravelin -f file.ini [-i]",
                                        "  uninstall  Ravelin -f file.ini -u", "INI file format:", "  [Conduit]",
                                        "  CreatorId=SmPl", "  Conduit=C:\\Program Files\\Sample\\SampleConduit.dll",
                                        "  Directory=Sample", "  File=Sample.DAT", "  RemoteDatabase=Record-SmPl",
                                        "  Name=Sample Conduit", "  Priority=2", "  [Notifier]",
                                        "  Notifier=C:\\Program Files\\Sample\\SampleNotifier.dll"}));
    EXPECT_FALSE(run.dialogSeen);
    EXPECT_FALSE(KeyExists(Entry("RvTa")));
    EXPECT_TRUE(TakeCalls().empty());
    EXPECT_EQ(Refreshes(), before);
}

TEST_F(RavelinTest, StandardErrorTexts)
{
    // -f at the end leaves the default name in force.
    WriteIni("Ravelin.ini", "[Conduit]\r\nCreatorId=RvTb\r\nConduit=x\r\nDirectory=x\r\nFile=x\r\n");
    Outcome run = Start("-x -: -f");
    std::string exe = m_dir + "Ravelin.exe";
    EXPECT_EQ(Lines(run.stderrText), (std::vector<std::string>{exe + ": illegal option -- x",
                                                               exe + ": illegal option -- :",
                                                               exe + ": option requires an argument -- f"}));
    EXPECT_TRUE(KeyExists(Entry("RvTb")));
}

TEST_F(RavelinTest, SettingsPathMustFitThePathLimit)
{
    // 259 characters with the terminator make 260: accepted.
    std::string dirName(259 - m_dir.size() - 6, 'd');
    ASSERT_TRUE(CreateDirectoryA((m_dir + dirName).c_str(), nullptr));
    WriteIni(dirName + "\\x.ini", "[Conduit]\r\nCreatorId=RvTc\r\nConduit=x\r\nDirectory=x\r\nFile=x\r\n");
    ASSERT_EQ((m_dir + dirName + "\\x.ini").size(), 259u);
    Outcome run = Start("-f " + dirName + "\\x.ini");
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_TRUE(KeyExists(Entry("RvTc")));
    RegDeleteKeyA(HKEY_CURRENT_USER, Entry("RvTc").c_str());
    TakeCalls();

    // One more character is refused before anything is read or registered.
    run = Start("-f " + dirName + "\\xx.ini");
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].title, "Ravelin");
    EXPECT_EQ(run.boxes[0].text,
              u8"設定ファイルのパスが長すぎます（260 文字未満にしてください）。何も登録しません。");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_FALSE(run.dialogSeen);
    EXPECT_TRUE(TakeCalls().empty());
    run = Start("-f " + std::string(400, 'y'));
    EXPECT_EQ(run.boxes.size(), 1u);
    EXPECT_FALSE(KeyExists(Entry("RvTc")));
}

// The program must load in the genuine host: a 32-bit GUI program that
// imports exactly these ordinals and no names from the two libraries.
TEST(RavelinImage, GuiProgramImportingByOrdinal)
{
    std::ifstream in(ModuleDirectory() + "Ravelin.exe", std::ios::binary);
    std::vector<unsigned char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(image.size(), 0x200u);
    auto u16 = [&](size_t off) -> uint32_t {
        if (off + 2 > image.size())
            throw std::out_of_range("past the image");
        return image[off] | (image[off + 1] << 8);
    };
    auto u32 = [&](size_t off) -> uint32_t { return u16(off) | (u16(off + 2) << 16); };

    ASSERT_EQ(u16(0), 0x5A4Du);   // MZ
    size_t pe = u32(0x3C);
    ASSERT_EQ(u32(pe), 0x4550u);  // PE\0\0
    EXPECT_EQ(u16(pe + 4), 0x14Cu);   // i386
    size_t opt = pe + 24;
    ASSERT_EQ(u16(opt), 0x10Bu);      // 32-bit optional header
    EXPECT_EQ(u16(opt + 68), 2u);     // Windows GUI subsystem
    uint32_t importRva = u32(opt + 96 + 8);
    size_t sections = opt + u16(pe + 20);
    int nSections = static_cast<int>(u16(pe + 6));
    auto fileOffset = [&](uint32_t rva) -> size_t {
        for (int i = 0; i < nSections; ++i) {
            size_t s = sections + 40 * i;
            uint32_t va = u32(s + 12), size = u32(s + 8) ? u32(s + 8) : u32(s + 16), raw = u32(s + 20);
            if (rva >= va && rva < va + size)
                return raw + (rva - va);
        }
        throw std::out_of_range("RVA outside every section");
    };

    std::map<std::string, std::vector<uint32_t>> ordinals;
    std::map<std::string, int> names;
    for (size_t d = fileOffset(importRva);; d += 20) {
        uint32_t lookup = u32(d), nameRva = u32(d + 12);
        if (nameRva == 0)
            break;
        std::string dll;
        for (size_t p = fileOffset(nameRva); image.at(p); ++p)
            dll += static_cast<char>(image[p]);
        for (size_t t = fileOffset(lookup ? lookup : u32(d + 16));; t += 4) {
            uint32_t thunk = u32(t);
            if (!thunk)
                break;
            if (thunk & 0x80000000u)
                ordinals[dll].push_back(thunk & 0xFFFF);
            else
                ++names[dll];
        }
    }
    std::vector<uint32_t> condmgr = ordinals["CONDMGR.dll"];
    std::sort(condmgr.begin(), condmgr.end());
    EXPECT_EQ(condmgr, (std::vector<uint32_t>{40, 46, 48, 50, 54, 63, 65, 67, 187, 188}));
    EXPECT_EQ(ordinals["HSAPI.dll"], (std::vector<uint32_t>{108}));
    EXPECT_EQ(names["CONDMGR.dll"], 0);
    EXPECT_EQ(names["HSAPI.dll"], 0);
}

namespace {

// Reads one text or ordinal of a dialog template and moves past it.
std::string TemplateText(const WORD*& p)
{
    if (*p == 0xFFFF) {
        std::string ordinal = "#" + std::to_string(p[1]);
        p += 2;
        return ordinal;
    }
    std::wstring w;
    while (*p)
        w += static_cast<wchar_t>(*p++);
    ++p;
    return Utf8(w);
}

std::string ResourceString(HMODULE hModule, UINT nID)
{
    const wchar_t* p = nullptr;
    int n = LoadStringW(hModule, nID, reinterpret_cast<LPWSTR>(&p), 0);
    return n > 0 ? Utf8(std::wstring(p, n)) : std::string();
}

} // namespace

// The dialog, icon and strings that the program is built with.
TEST(RavelinImage, DialogIconAndStrings)
{
    HMODULE hModule = LoadLibraryExA((ModuleDirectory() + "Ravelin.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hModule, nullptr);
    HRSRC hRes = FindResourceA(hModule, MAKEINTRESOURCEA(102), MAKEINTRESOURCEA(5));
    ASSERT_NE(hRes, nullptr);
    const WORD* p = static_cast<const WORD*>(LockResource(LoadResource(hModule, hRes)));
    ASSERT_EQ(p[0], 1);        // extended template
    ASSERT_EQ(p[1], 0xFFFF);
    DWORD exStyle = *reinterpret_cast<const DWORD*>(p + 4);
    DWORD style = *reinterpret_cast<const DWORD*>(p + 6);
    EXPECT_EQ(style & (DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU),
              static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
    EXPECT_TRUE(style & WS_VISIBLE);   // on screen before the posted work starts
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
    int items = p[8];
    EXPECT_EQ(items, 3);
    EXPECT_EQ(static_cast<short>(p[11]), 235);
    EXPECT_EQ(static_cast<short>(p[12]), 69);
    p += 13;
    EXPECT_EQ(TemplateText(p), "");   // no menu
    EXPECT_EQ(TemplateText(p), "");   // the dialog class
    EXPECT_EQ(TemplateText(p), "Ravelin");
    ASSERT_TRUE(style & DS_SETFONT);
    EXPECT_EQ(p[0], 8);
    p += 3;   // size, weight, italic and character set
    EXPECT_EQ(TemplateText(p), "MS Shell Dlg");

    struct Item {
        std::string cls;
        WORD id;
        short x, y, cx, cy;
        DWORD style;
        std::string text;
    };
    std::vector<Item> got;
    for (int i = 0; i < items; ++i) {
        p = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t(3));
        Item item;
        item.style = *reinterpret_cast<const DWORD*>(p + 4);
        item.x = static_cast<short>(p[6]);
        item.y = static_cast<short>(p[7]);
        item.cx = static_cast<short>(p[8]);
        item.cy = static_cast<short>(p[9]);
        item.id = p[10];
        p += 12;
        item.cls = TemplateText(p);
        item.text = TemplateText(p);
        p += 1 + (*p + 1) / 2;   // creation data
        got.push_back(item);
    }
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].cls, "#130");   // static
    EXPECT_EQ(got[0].id, 0xFFFF);
    EXPECT_EQ(got[0].text, u8"コンジットマネージャの設定を行います。");
    EXPECT_EQ((std::vector<short>{got[0].x, got[0].y, got[0].cx, got[0].cy}), (std::vector<short>{7, 7, 221, 8}));
    std::string cls = got[1].cls;   // class names are matched without regard to case
    std::transform(cls.begin(), cls.end(), cls.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_EQ(cls, "msctls_progress32");
    EXPECT_EQ(got[1].id, 1001);
    EXPECT_EQ((std::vector<short>{got[1].x, got[1].y, got[1].cx, got[1].cy}), (std::vector<short>{7, 23, 221, 14}));
    EXPECT_EQ(got[2].cls, "#129");   // edit
    EXPECT_EQ(got[2].id, 1000);
    EXPECT_EQ(got[2].style & (ES_READONLY | ES_AUTOHSCROLL | ES_MULTILINE),
              static_cast<DWORD>(ES_READONLY | ES_AUTOHSCROLL));
    EXPECT_EQ((std::vector<short>{got[2].x, got[2].y, got[2].cx, got[2].cy}), (std::vector<short>{7, 41, 221, 12}));

    // The icon, large and small.
    hRes = FindResourceA(hModule, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14));
    ASSERT_NE(hRes, nullptr);
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(hModule, hRes)));
    int icons = dir[4] | (dir[5] << 8);
    std::vector<int> sizes;
    for (int i = 0; i < icons; ++i)
        sizes.push_back(dir[6 + 14 * i]);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int>{16, 32}));

    // The status texts, and the empty one that clears the line.
    EXPECT_EQ(ResourceString(hModule, 131), kStatus131);
    EXPECT_EQ(ResourceString(hModule, 132), kStatus132);
    EXPECT_EQ(ResourceString(hModule, 133), kStatus133);
    EXPECT_EQ(ResourceString(hModule, 134), kStatus134);
    EXPECT_EQ(ResourceString(hModule, 135), kStatus135);
    EXPECT_EQ(ResourceString(hModule, 143), "");
    FreeLibrary(hModule);
}
