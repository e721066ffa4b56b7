// Drives the real Ravelin.exe as a setup program and a user would: starts it
// beside the Conduit Manager and HotSync API stand-ins, answers its message
// boxes, and compares what it showed, wrote to standard error and ended with,
// and the calls the stand-ins logged (arguments, result) with what is due.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "CondMgr.h"
#include "PeFile.h"
#include "TestFiles.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

// Texts as the program shows them; "? " marks a box that asks (OK, Cancel).
const std::string kKeysMissing = u8"コンジットをインストールするときは Conduit、Directory、File を指定してください。";
const std::string kConduitExists = u8"? コンジットがすでに登録されています。上書きしますか？";
const std::string kConduitFailed = u8"コンジットの登録に失敗しました。";
const std::string kConduitRemovalFailed = u8"コンジットの登録解除に失敗しました。";
const std::string kNotifierExists = u8"? Notifier がすでに登録されています。上書きしますか？";
const std::string kNotifierFailed = u8"Notifier の登録に失敗しました。";
const std::string kNotifierRemovalFailed = u8"Notifier の登録解除に失敗しました。";
const std::string kPathTooLong = u8"設定ファイルのパスが長すぎます（260 文字未満にしてください）。何も登録しません。";
const char kReading[] = u8"設定ファイルを読み込んでいます...";
const char kInstalling[] = u8"コンジットをインストールしています...";
const char kRemoving[] = u8"コンジットをアンインストールしています...";
const char kNotifierInstalling[] = u8"Notifier をインストールしています...";
const char kNotifierRemoving[] = u8"Notifier をアンインストールしています...";

// A box that came up over the program's dialog: its text, the status line,
// and the progress bar's position and upper limit at that moment.
std::string Over(const std::string& text, const char* status, int pos, int high)
{
    return text + " [" + status + " " + std::to_string(pos) + "/" + std::to_string(high) + "]";
}

const std::string kN = "C:\\Tessaly\\RvTestNotifier.dll";
const std::string kFull = "[Conduit]\r\nCreatorId=RvTa\r\nConduit=C:\\Tessaly\\TessalyConduit.dll\r\nDirectory=Tessaly\r\n"
                          "File=record.dat\r\nRemoteDatabase=Tessaly-Vqxa\r\nName=Tessaly Memo\r\nPriority=3\r\n"
                          "[Notifier]\r\nNotifier=" + kN + "\r\n";
const std::vector<std::string> kFullInstall = {
    "67 RvTa 1 = 0",          "46 RvTa C:\\Tessaly\\TessalyConduit.dll = 0", "48 RvTa Tessaly = 0",
    "63 RvTa record.dat = 0", "50 RvTa Tessaly-Vqxa = 0", "54 RvTa Tessaly Memo = 0", "40 RvTa 3 = 0",
    "187 " + kN + " = 0",     "108 = 0"};
const std::vector<std::string> kFullUninstall = {"65 RvTa = 0", "188 " + kN + " = 0", "108 = 0"};
const std::string kMinimal = "[Conduit]\r\nCreatorId=RvTc\r\nConduit=x\r\nDirectory=x\r\nFile=x\r\n";
const std::vector<std::string> kMinimalInstall = {"67 RvTc 1 = 0", "46 RvTc x = 0", "48 RvTc x = 0",
                                                  "63 RvTc x = 0", "40 RvTc 2 = 0", "108 = 0"};

// A file's lines, without carriage returns.
std::vector<std::string> Lines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    return lines;
}

// A message to a window of another process; -1 when it does not answer.
int Send(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam = 0)
{
    DWORD_PTR v = 0;
    return SendMessageTimeoutW(hWnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &v) ? static_cast<int>(v) : -1;
}

std::string Text(HWND hWnd)
{
    wchar_t buf[2048] = {};
    char out[8192];
    int n = Send(hWnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buf));
    return std::string(out, WideCharToMultiByte(CP_UTF8, 0, buf, n, out, sizeof out, nullptr, nullptr));
}

std::string Beside(const char* file)
{
    char path[MAX_PATH];
    std::string s(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return s.substr(0, s.rfind('\\') + 1) + file;
}

void Forget()
{
    for (const char* creator : {"RvTa", "RvTb", "RvTc"})
        CondMgrRemoveEntry(creator);
    CondMgrRemoveNotifier(kN.c_str());
}

// One start of the program and all it should give.
struct Case {
    std::string args;
    std::vector<std::string> boxes;
    DWORD exitCode;                  // 0 done, 1 a step failed, 2 a registration kept
    std::vector<std::string> calls;
    std::vector<int> answers = {};   // to the boxes in turn; OK once they run out
    std::string fail = "";           // ordinals whose calls fail
    std::string cwd = "";
    std::vector<std::string> stderrLines = {};
};

class RavelinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Xvfb runs no window manager, and Wine waits two seconds for one at
        // every window it hides; for this program, leave its windows unmanaged.
        SHSetValueA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Ravelin.exe\\X11 Driver", "Managed", REG_SZ, "N", 2);
        m_dir = m_temp.Path() + "/";
        std::replace(m_dir.begin(), m_dir.end(), '/', '\\');
        for (const char* file : {"Ravelin.exe", "CONDMGR.dll", "HSAPI.dll"})
            ASSERT_TRUE(CopyFileA(Beside(file).c_str(), (m_dir + file).c_str(), FALSE)) << file;
        SetEnvironmentVariableA("TESSALY_HOTSYNC_CALLS", (m_dir + "calls.log").c_str());
        Forget();
    }

    void TearDown() override { Forget(); }

    void Write(const std::string& name, const std::string& text)
    {
        CreateDirectoryA((m_dir + name.substr(0, name.rfind('\\') + 1)).c_str(), nullptr);
        std::ofstream(m_dir + name, std::ios::binary | std::ios::trunc) << text;
    }

    // Starts the program, answers each message box, and compares.
    void Check(const Case& r)
    {
        SCOPED_TRACE("Ravelin " + r.args + (r.fail.empty() ? "" : ", failing " + r.fail));
        std::string exe = m_dir + "Ravelin.exe", cmd = "\"" + exe + "\" " + r.args;
        DeleteFileA((m_dir + "calls.log").c_str());
        SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", r.fail.empty() ? nullptr : r.fail.c_str());
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        HANDLE hErr = CreateFileA((m_dir + "stderr.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  &sa, CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = hErr;
        PROCESS_INFORMATION pi = {};
        BOOL started = CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, nullptr,
                                      r.cwd.empty() ? nullptr : r.cwd.c_str(), &si, &pi);
        SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", nullptr);
        CloseHandle(hErr);
        ASSERT_TRUE(started) << exe;
        std::vector<std::string> boxes;
        DWORD exitCode = STILL_ACTIVE;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
            if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) {
                GetExitCodeProcess(pi.hProcess, &exitCode);
                break;
            }
            // The program's dialog has the progress bar; any other of its
            // visible dialog-class windows is a message box.
            HWND dialog = nullptr, box = nullptr;
            for (HWND h = nullptr; (h = FindWindowExA(nullptr, h, "#32770", nullptr)) != nullptr;) {
                DWORD pid = 0;
                GetWindowThreadProcessId(h, &pid);
                if (pid == pi.dwProcessId && GetDlgItem(h, 1001))
                    dialog = h;
                else if (pid == pi.dwProcessId && IsWindowVisible(h))
                    box = h;
            }
            if (!box)
                continue;
            Sleep(100);   // let the box finish coming up
            EXPECT_EQ(Text(box), "Ravelin");
            std::string text = (GetDlgItem(box, IDCANCEL) ? "? " : "") + Text(GetDlgItem(box, 0xFFFF));
            if (dialog) {
                HWND status = GetDlgItem(dialog, 1000), progress = GetDlgItem(dialog, 1001);
                text = Over(text, Text(status).c_str(), Send(progress, PBM_GETPOS, 0), Send(progress, PBM_GETRANGE, FALSE));
                // The dialog as it stands on the screen (once it is shown): a
                // fixed frame, a read-only status line.
                EXPECT_EQ(Text(dialog), "Ravelin");
                EXPECT_EQ(Text(GetDlgItem(dialog, -1)), u8"コンジットマネージャの設定を行います。");
                EXPECT_EQ(GetWindowLongA(dialog, GWL_STYLE) & (WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                                                               WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
                          (Text(status) == kReading ? 0 : WS_VISIBLE) | WS_CAPTION | WS_SYSMENU);
                EXPECT_EQ(GetWindowLongA(status, GWL_STYLE) & (ES_READONLY | ES_MULTILINE), ES_READONLY);
            }
            int answer = boxes.size() < r.answers.size() ? r.answers[boxes.size()] : IDOK;
            boxes.push_back(text);
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
            for (int i = 0; i < 100 && IsWindow(box); ++i)
                Sleep(50);
        }
        if (exitCode == STILL_ACTIVE) {
            ADD_FAILURE() << "Ravelin did not end";
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        EXPECT_EQ(boxes, r.boxes);
        EXPECT_EQ(exitCode, r.exitCode);
        EXPECT_EQ(Lines(m_dir + "calls.log"), r.calls);
        EXPECT_EQ(Lines(m_dir + "stderr.txt"), r.stderrLines);
    }

    testsupport::TempDir m_temp;
    std::string m_dir;
};

} // namespace

// One registry throughout: each run finds what the ones before it left.
TEST_F(RavelinTest, InstallReplaceRemoveAndFailingCalls)
{
    Write("full.ini", kFull);
    // Another conduit under the same creator ID; a priority that is no number is 0.
    Write("new.ini", "[Conduit]\r\nCreatorId=RvTa\r\nConduit=D:\\New.dll\r\nDirectory=New\r\nFile=new.dat\r\n"
                     "Priority=high\r\n[Notifier]\r\nNotifier=" + kN + "\r\n");
    Write("only.ini", "[Conduit]\r\nCreatorId=RvTa\r\n");
    const std::vector<std::string> asked = {Over(kConduitExists, kInstalling, 0, 2),
                                            Over(kNotifierExists, kNotifierInstalling, 1, 2)};
    const std::string conduitFailed = Over(kConduitFailed, kInstalling, 0, 2),
                      removalFailed = Over(kConduitRemovalFailed, kRemoving, 0, 2),
                      notifierRemovalFailed = Over(kNotifierRemovalFailed, kNotifierRemoving, 1, 2);
    const std::string exists = "187 " + kN + " = -1019", replaced[] = {"188 " + kN + " = 0", "187 " + kN + " = 0"};
    std::vector<std::string> notifierFails(kFullInstall.begin(), kFullInstall.end() - 2);
    notifierFails.insert(notifierFails.end(), {"187 " + kN + " = -1099", "108 = 0"});
    const Case runs[] = {
        {"-f full.ini", {}, 0, kFullInstall},
        // Both refused: nothing changes, nothing is refreshed.
        {"-f new.ini", asked, 2, {"67 RvTa 1 = -1005", exists}, {IDCANCEL, IDCANCEL}},
        // Both accepted: removed and made anew.
        {"-f new.ini", asked, 0,
         {"67 RvTa 1 = -1005", "65 RvTa = 0", "67 RvTa 1 = 0", "46 RvTa D:\\New.dll = 0", "48 RvTa New = 0",
          "63 RvTa new.dat = 0", "40 RvTa 0 = 0", exists, replaced[0], replaced[1], "108 = 0"},
         {IDOK, IDOK}},
        // Keeping the conduit but replacing the notifier is still a change.
        {"-f new.ini", asked, 2, {"67 RvTa 1 = -1005", exists, replaced[0], replaced[1], "108 = 0"}, {IDCANCEL, IDOK}},
        {"-f full.ini -u", {}, 0, kFullUninstall},
        // Nothing left to remove: both steps fail, nothing to refresh.
        {"-f full.ini -u", {removalFailed, notifierRemovalFailed}, 1, {"65 RvTa = -1002", "188 " + kN + " = -1006"}},
        // A setter fails: the entry stays as far as it got; the notifier step still runs.
        {"-f full.ini", {conduitFailed}, 1,
         {"67 RvTa 1 = 0", "46 RvTa C:\\Tessaly\\TessalyConduit.dll = 0", "48 RvTa Tessaly = 0",
          "63 RvTa record.dat = -1099", "187 " + kN + " = 0", "108 = 0"}, {}, "63"},
        // Removal fails: the notifier is removed all the same.
        {"-u -f full.ini", {removalFailed}, 1, {"65 RvTa = -1099", "188 " + kN + " = 0", "108 = 0"}, {}, "65"},
        {"-u -f full.ini", {removalFailed, notifierRemovalFailed}, 1, {"65 RvTa = -1099", "188 " + kN + " = -1099"},
         {}, "188,65"},
        // Removing needs only the creator ID.
        {"-u -f only.ini", {}, 0, {"65 RvTa = 0", "108 = 0"}},
        {"-f full.ini", {conduitFailed}, 1, {"67 RvTa 1 = -1099", "187 " + kN + " = 0", "108 = 0"}, {}, "67"},
        {"-f full.ini", {Over(kNotifierFailed, kNotifierInstalling, 1, 2)}, 1, notifierFails, {}, "187"},
    };
    for (const Case& r : runs)
        Check(r);
}

TEST_F(RavelinTest, SettingsReadAsFarAsTheyMakeSense)
{
    const std::string dir(700, 'd');
    Write("min.ini", "[conduit]\r\ncreatorid=RvTb\r\nCONDUIT=C:\\c.dll\r\nDirectory=" + dir + "\r\nFile=F\r\n");
    Write("nofile.ini", "[Conduit]\r\nCreatorId=RvTa\r\nConduit=C:\\c.dll\r\nDirectory=D\r\nFile=\r\n"
                        "[Notifier]\r\nNotifier=" + kN + "\r\n");
    Write("junk.ini", std::string("\xFF\xFE[Conduit\r\n\0\x01\x95=\r\nCreatorId\r\n=RvTa\r\n[]\r\n==\r\n", 38) +
                          std::string(5000, 'x'));
    Write("empty.ini", "[Conduit]\r\nConduit=C:\\c.dll\r\n[Notifier]\r\nNotifier=\r\n");
    Write("abs.ini", kFull);
    const std::string missing = Over(kKeysMissing, kReading, 0, 100);
    const Case runs[] = {
        // Optional keys absent, names in any case, and a value longer than the
        // first buffer the program reads settings into (512) read whole.
        {"-f min.ini", {}, 0,
         {"67 RvTb 1 = 0", "46 RvTb C:\\c.dll = 0", "48 RvTb " + dir + " = 0", "63 RvTb F = 0", "40 RvTb 2 = 0", "108 = 0"}},
        // Without File the conduit is skipped and the notifier still installed;
        // then the notifier is the only step the progress bar counts.
        {"-f nofile.ini", {missing}, 1, {"187 " + kN + " = 0", "108 = 0"}},
        {"-f nofile.ini", {missing, Over(kNotifierExists, kNotifierInstalling, 0, 1)}, 1, {"187 " + kN + " = -1019"},
         {IDOK, IDCANCEL}},
        // Removing does not ask for those keys.
        {"-u -f nofile.ini", {Over(kConduitRemovalFailed, kRemoving, 0, 2)}, 1,
         {"65 RvTa = -1002", "188 " + kN + " = 0", "108 = 0"}},
        // Nothing to do: the program closes at once without any call. An
        // absolute name is appended to the program's directory: no such file.
        {"-f empty.ini", {}, 0, {}},
        {"-f missing.ini", {}, 0, {}},
        {"-f junk.ini", {}, 0, {}},
        {"-f " + m_dir + "abs.ini", {}, 0, {}},
    };
    for (const Case& r : runs)
        Check(r);
}

// Each run from an empty registry.
TEST_F(RavelinTest, CommandLineAndWhereTheSettingsAre)
{
    Write("Ravelin.ini", kMinimal);
    Write("elsewhere\\Ravelin.ini", kFull);
    Write("sub\\x.ini", kMinimal);
    Write("full.ini", kFull);
    // 259 characters and the terminator make 260: accepted.
    const std::string deep(259 - m_dir.size() - 6, 'd');
    Write(deep + "\\x.ini", kMinimal);
    ASSERT_EQ((m_dir + deep + "\\x.ini").size(), 259u);
    const std::string exe = m_dir + "Ravelin.exe";
    const Case runs[] = {
        // No -f: Ravelin.ini beside the program, whatever the current directory;
        // a relative name from the program's directory too.
        {"", {}, 0, kMinimalInstall, {}, "", m_dir + "elsewhere"},
        {"-f sub\\x.ini", {}, 0, kMinimalInstall, {}, "", m_dir + "elsewhere"},
        {"-f " + deep + "\\x.ini", {}, 0, kMinimalInstall},
        // One more character is refused before anything is read or registered.
        {"-f " + deep + "\\xx.ini", {kPathTooLong}, 1, {}},
        {"-f " + std::string(400, 'y'), {kPathTooLong}, 1, {}},
        // Complaints on standard error; -f at the end leaves the default name in force.
        {"-x -: -f", {}, 0, kMinimalInstall, {}, "", "",
         {exe + ": illegal option -- x", exe + ": illegal option -- :", exe + ": option requires an argument -- f"}},
        // The usage text, only with -h, and nothing else.
        {"-f full.ini -i -h",
         {"USAGE:\n  install    Ravelin -f file.ini [-i]\n  uninstall  Ravelin -f file.ini -u\nINI file format:\n"
          "  [Conduit]\n  CreatorId=SmPl\n  Conduit=C:\\Program Files\\Sample\\SampleConduit.dll\n  Directory=Sample\n"
          "  File=Sample.DAT\n  RemoteDatabase=Record-SmPl\n  Name=Sample Conduit\n  Priority=2\n  [Notifier]\n"
          "  Notifier=C:\\Program Files\\Sample\\SampleNotifier.dll"},
         0, {}},
    };
    for (const Case& r : runs) {
        Forget();
        Check(r);
    }
}

// The program must load in the genuine host: a 32-bit GUI program that
// imports exactly these ordinals and no names from the two libraries. Its
// icon comes large and small.
TEST(RavelinImage, GuiProgramImportingByOrdinalWithIcon)
{
    testsupport::PeFile pe(Beside("Ravelin.exe"));
    ASSERT_TRUE(pe.Ok());
    EXPECT_EQ(pe.Machine(), 0x14Cu);   // i386
    EXPECT_EQ(pe.Subsystem(), 2u);     // Windows GUI
    EXPECT_EQ(pe.Imports("CONDMGR.dll"), (std::set<std::string>{"#40", "#46", "#48", "#50", "#54", "#63", "#65",
                                                                 "#67", "#187", "#188"}));
    EXPECT_EQ(pe.Imports("HSAPI.dll"), (std::set<std::string>{"#108"}));
    HMODULE hModule = LoadLibraryExA(Beside("Ravelin.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hModule, nullptr);
    auto dir = static_cast<const BYTE*>(
        LockResource(LoadResource(hModule, FindResourceA(hModule, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14)))));
    ASSERT_TRUE(dir);
    std::multiset<int> sizes;
    for (int i = 0; i < (dir[4] | (dir[5] << 8)); ++i)
        sizes.insert(dir[6 + 14 * i]);
    EXPECT_EQ(sizes, (std::multiset<int>{16, 32}));
    FreeLibrary(hModule);
}
