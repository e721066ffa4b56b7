// hotsync.exe as the HotSync Manager of a user: runs the conduits registered
// with the Conduit Manager stand-in, and keeps the action the user chooses in
// the conduit's dialog (driven from this process as a user would).
#include "TestFiles.h"

#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char kKey[] = "Software\\HotSync\\Conduits\\Vqxa";
const char kUserKey[] = "Software\\HotSync\\Conduits\\Vqxa\\Users\\Hanako";

std::string BinDir()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/"));
}

void SetString(HKEY key, const char* name, const std::string& value)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

bool ReadAction(const char* name, DWORD& value)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kUserKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = sizeof value;
    bool ok = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

struct Found {
    DWORD pid;
    HWND dialog;
};

BOOL CALLBACK FindDialog(HWND hWnd, LPARAM lParam)
{
    Found* f = reinterpret_cast<Found*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    char cls[32] = {};
    GetClassNameA(hWnd, cls, sizeof cls);
    if (pid == f->pid && std::string(cls) == "#32770" && IsWindowVisible(hWnd)) {
        f->dialog = hWnd;
        return FALSE;
    }
    return TRUE;
}

// Runs "hotsync action", clicks the given controls in its dialog, then OK.
DWORD ChooseAction(std::initializer_list<int> clicks)
{
    std::string cmd = "\"" + BinDir() + "\\hotsync.exe\" action --user Hanako --creator Vqxa";
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof pi);
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 999;
    Found f = {pi.dwProcessId, nullptr};
    for (int i = 0; i < 200 && !f.dialog; ++i) {
        Sleep(50);
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&f));
    }
    if (f.dialog) {
        for (int id : clicks)
            SendMessageA(GetDlgItem(f.dialog, id), BM_CLICK, 0, 0);
        PostMessageA(f.dialog, WM_COMMAND, IDOK, 0);
    }
    WaitForSingleObject(pi.hProcess, 20000);
    DWORD code = 998;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return f.dialog ? code : 997;
}

} // namespace

TEST(HotSyncTool, UserSyncAndActions)
{
    testsupport::TempDir dir;
    const std::string hh = dir.File("hh"), root = dir.File("desktop"), out = dir.File("out.txt");
    std::filesystem::create_directories(hh);   // the desktop root is not there: hotsync makes the user's folder
    ASSERT_EQ(0, testsupport::RunBeside("handheld", {hh, "create"}, out));
    SHDeleteKeyA(HKEY_CURRENT_USER, kKey);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    SetString(key, "Conduit", BinDir() + "\\TessalyConduit.dll");
    SetString(key, "Directory", "Tessaly");
    SetString(key, "File", "record.dat");
    SetString(key, "RemoteDatabase", "Tessaly-Vqxa");
    DWORD priority = 2;
    RegSetValueExA(key, "Priority", 0, REG_DWORD, reinterpret_cast<BYTE*>(&priority), sizeof priority);
    RegCloseKey(key);

    const std::string data = root + "\\Hanako\\Tessaly\\record.dat";
    auto output = [&out] {
        std::vector<std::uint8_t> bytes = testsupport::ReadBytes(out);
        return std::string(bytes.begin(), bytes.end());
    };
    ASSERT_EQ(0, testsupport::RunBeside("hotsync", {"sync", "--user", "Hanako", "--handheld", hh, "--desktop", root}, out));
    EXPECT_TRUE(testsupport::FileExists(data));
    EXPECT_EQ(0u, output().find("HotSync operation started ")) << output();
    EXPECT_NE(std::string::npos, output().find(" for Hanako\r\nOK Tessaly Conduit\r\nHotSync operation completed "))
        << output();

    // "Handheld overwrites Desktop", set as default.
    EXPECT_EQ(0u, ChooseAction({406, 411}));
    DWORD value = 0;
    ASSERT_TRUE(ReadAction("DefaultAction", value));
    EXPECT_EQ(2u, value);
    EXPECT_FALSE(ReadAction("NextAction", value));

    // "Desktop overwrites handheld" for the next operation only.
    EXPECT_EQ(0u, ChooseAction({405}));
    ASSERT_TRUE(ReadAction("NextAction", value));
    EXPECT_EQ(3u, value);

    // A user's folder that cannot be made: the handheld and the next action are left alone.
    const std::string pdb = hh + "\\Tessaly-Vqxa.pdb";
    const std::vector<std::uint8_t> before = testsupport::ReadBytes(pdb);
    EXPECT_EQ(1, testsupport::RunBeside("hotsync", {"sync", "--user", "Hanako", "--handheld", hh, "--desktop", pdb}, out));
    EXPECT_EQ(before, testsupport::ReadBytes(pdb));
    EXPECT_TRUE(ReadAction("NextAction", value));

    // The next action is used once, then the default stays.
    ASSERT_EQ(0, testsupport::RunBeside("hotsync", {"sync", "--user", "Hanako", "--handheld", hh, "--desktop", root}, out));
    EXPECT_FALSE(ReadAction("NextAction", value));
    ASSERT_TRUE(ReadAction("DefaultAction", value));
    EXPECT_EQ(2u, value);

    // A conduit that fails makes hotsync say so.
    std::filesystem::remove(hh + "\\Tessaly-Vqxa.pdb");
    std::filesystem::remove(data);
    EXPECT_EQ(1, testsupport::RunBeside("hotsync", {"sync", "--user", "Hanako", "--handheld", hh, "--desktop", root}, out));
    EXPECT_NE(std::string::npos, output().find("Failed Tessaly Conduit (error ")) << output();
    SHDeleteKeyA(HKEY_CURRENT_USER, kKey);
}
