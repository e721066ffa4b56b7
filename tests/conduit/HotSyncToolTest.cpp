// hotsync.exe as the HotSync Manager of a user: runs the conduits registered
// with the Conduit Manager stand-in, and keeps the action the user chooses in
// the conduit's dialog (driven from this process as a user would).
#include "TestFiles.h"

#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <filesystem>

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

// The action kept for the user, or ~0u when none is.
DWORD Action(const char* name)
{
    DWORD value = ~0u, size = sizeof value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kUserKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        value = ~0u;
    RegCloseKey(key);
    return value;
}

// The visible dialog of the thread, if any.
BOOL CALLBACK FindDialog(HWND hWnd, LPARAM lParam)
{
    char cls[32] = {};
    GetClassNameA(hWnd, cls, sizeof cls);
    if (std::string(cls) != "#32770" || !IsWindowVisible(hWnd))
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

// Runs "hotsync action", clicks the given controls in its dialog, then OK.
DWORD ChooseAction(std::initializer_list<int> clicks)
{
    std::string cmd = "\"" + BinDir() + "\\hotsync.exe\" action --user Hanako --creator Vqxa";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 999;
    HWND dialog = nullptr;
    for (int i = 0; i < 200 && !dialog; ++i) {
        Sleep(50);
        EnumThreadWindows(pi.dwThreadId, FindDialog, reinterpret_cast<LPARAM>(&dialog));
    }
    if (dialog) {
        for (int id : clicks)
            SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
    WaitForSingleObject(pi.hProcess, 20000);
    DWORD code = 998;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return dialog ? code : 997;
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
    const std::pair<const char*, std::string> values[] = {{"Conduit", BinDir() + "\\TessalyConduit.dll"},
        {"Directory", "Tessaly"}, {"File", "record.dat"}, {"RemoteDatabase", "Tessaly-Vqxa"}};
    for (const auto& v : values)
        RegSetValueExA(key, v.first, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.second.c_str()),
                       static_cast<DWORD>(v.second.size() + 1));
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
    EXPECT_EQ(2u, Action("DefaultAction"));
    EXPECT_EQ(~0u, Action("NextAction"));

    // "Desktop overwrites handheld" for the next operation only.
    EXPECT_EQ(0u, ChooseAction({405}));
    EXPECT_EQ(3u, Action("NextAction"));

    // A user's folder that cannot be made: the handheld and the next action are left alone.
    const std::string pdb = hh + "\\Tessaly-Vqxa.pdb";
    const std::vector<std::uint8_t> before = testsupport::ReadBytes(pdb);
    EXPECT_EQ(1, testsupport::RunBeside("hotsync", {"sync", "--user", "Hanako", "--handheld", hh, "--desktop", pdb}, out));
    EXPECT_EQ(before, testsupport::ReadBytes(pdb));
    EXPECT_EQ(3u, Action("NextAction"));

    // The next action is used once, then the default stays.
    ASSERT_EQ(0, testsupport::RunBeside("hotsync", {"sync", "--user", "Hanako", "--handheld", hh, "--desktop", root}, out));
    EXPECT_EQ(~0u, Action("NextAction"));
    EXPECT_EQ(2u, Action("DefaultAction"));

    // A conduit that fails makes hotsync say so.
    std::filesystem::remove(hh + "\\Tessaly-Vqxa.pdb");
    std::filesystem::remove(data);
    EXPECT_EQ(1, testsupport::RunBeside("hotsync", {"sync", "--user", "Hanako", "--handheld", hh, "--desktop", root}, out));
    EXPECT_NE(std::string::npos, output().find("Failed Tessaly Conduit (error ")) << output();
    SHDeleteKeyA(HKEY_CURRENT_USER, kKey);
}
