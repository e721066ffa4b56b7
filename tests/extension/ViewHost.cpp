// The memo view on sample data in a window of its own, for people to look
// at: "memo_view_host" runs it until the window is closed; "memo_view_host
// --shot SCENE RECTFILE" sets up one scene (report, large, small, edit,
// menu, password), writes the rectangle to photograph to RECTFILE, holds
// the scene a few seconds and ends.
#include "ViewHarness.h"
#include "ViewRes.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

using namespace viewtest;
using namespace uitest;

namespace {

const char kPassword[] = "tessaly";

std::string g_rectFile;

void WriteRect(HWND hWnd)
{
    RECT r;
    ::GetWindowRect(hWnd, &r);
    if (FILE* f = std::fopen(g_rectFile.c_str(), "w")) {
        std::fprintf(f, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        std::fclose(f);
    }
}

// Waits a while, then acts; the step ends once it has acted.
Step After(DWORD ms, std::function<void(HWND)> act)
{
    auto start = std::make_shared<DWORD>(0);
    return [start, ms, act](HWND top) {
        if (!*start)
            *start = ::GetTickCount();
        if (::GetTickCount() - *start < ms)
            return false;
        act(top);
        return true;
    };
}

Step TypePassword()
{
    return On(Ansi(u8"パスワード入力"), [](HWND h) {
        SetItemText(h, 6007, kPassword);
        Click(h, IDOK);
    });
}

MemoFilePlan Sample()
{
    MemoFilePlan s;
    s.password = kPassword;
    s.hint = u8"いつもの合言葉";
    s.categories = {u8"銀行", u8"仕事", u8"家庭"};
    s.memos = {
        {u8"ネットバンキング\r\nID: yamada-t\r\nパスワード: 8kq!Zr2m\r\n第二暗証: 4417", 1},
        {u8"社内システムのログイン\r\nユーザ名 t.yamada\r\n初期パスワードは変更済み", 2},
        {u8"玄関の暗証番号\r\n2580 の後に #", 3},
        {u8"Wi-Fi\r\nSSID: home-5G\r\nキー: correct-horse-battery", 0},
        {u8"クレジットカード\r\n末尾 1234 / 有効期限 08/29\r\nセキュリティコードは裏面", 1},
        {u8"経費精算システム\r\n申請は毎月 25 日まで", 2},
        {u8"あいうえお順の確認用メモ\r\n二行目のテキスト", 0},
    };
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    std::string scene = "run";
    if (argc >= 4 && std::strcmp(argv[1], "--shot") == 0) {
        scene = argv[2];
        g_rectFile = argv[3];
    }
    char dir[MAX_PATH];
    ::GetTempPathA(sizeof dir, dir);
    std::string folder = std::string(dir) + "tessaly-view-host";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\record.dat";
    ::DeleteFileA((folder + "\\UiPrefs.DAT").c_str());
    if (!MakeMemoFile(path, Sample())) {
        std::fprintf(stderr, "memo_view_host: cannot write %s\n", path.c_str());
        return 1;
    }

    ViewHarness h;
    h.host.SetWindowText("Palm Desktop - MyTessaly");
    h.host.MoveWindow(40, 40, 760, 480);
    h.Pump();
    const CString user(Ansi(u8"山田 太郎").c_str());
    if (scene == "password") {
        Script s({On(Ansi(u8"パスワード入力"), [](HWND hDlg) {
                      SetItemText(hDlg, 6007, "******");
                      WriteRect(::GetAncestor(hDlg, GA_ROOTOWNER) ? hDlg : hDlg);
                  }),
                  After(4000, [](HWND hDlg) { Click(hDlg, IDCANCEL); })});
        h.view->OpenDataFile(user, CString(path.c_str()));
        return 0;
    }
    {
        Script s({TypePassword()});
        h.view->OpenDataFile(user, CString(path.c_str()));
    }
    h.view->Activate(TRUE);
    h.Pump();
    h.view->RefillList(0);
    h.Pump();

    auto hold = [&h](DWORD ms) {
        const DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < ms) {
            h.Pump();
            ::Sleep(20);
        }
    };
    if (scene == "run") {
        MSG msg;
        while (::IsWindow(h.host.m_hWnd) && ::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (h.view->PreTranslateMessage(&msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        return 0;
    }
    if (scene == "large" || scene == "small") {
        MSG m = {};
        m.hwnd = h.view->m_hWnd;
        m.message = WM_SYSKEYDOWN;
        m.wParam = scene == "large" ? 'R' : 'C';
        h.view->PreTranslateMessage(&m);
        h.Pump();
    }
    if (scene == "edit") {
        hold(500);
        // Beside the list rather than over it: under Wine a list covered by
        // another window at the moment of the picture shows blank.
        Script s({On(Ansi(u8"メモの編集"), [](HWND hDlg) {
                      RECT r;
                      ::GetWindowRect(hDlg, &r);
                      ::SetWindowPos(hDlg, nullptr, 480, 330, r.right - r.left + 60, r.bottom - r.top + 60, SWP_NOZORDER);
                      WriteRect(hDlg);
                  }),
                  After(4000, [](HWND hDlg) { Click(hDlg, IDCANCEL); })});
        h.view->RunCommand(ID_EDIT_MEMO);
        return 0;
    }
    if (scene == "menu") {
        HWND hList = ::GetDlgItem(h.view->m_hWnd, IDC_LIST);
        RECT r;
        ListView_GetItemRect(hList, 1, &r, LVIR_LABEL);
        POINT pt = {r.left + 30, r.top + 5};
        ::ClientToScreen(hList, &pt);
        WriteRect(h.host.m_hWnd);
        Script s({After(4000, [](HWND) { ::EndMenu(); })});
        ::SendMessageA(h.view->m_hWnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hList), MAKELPARAM(pt.x, pt.y));
        return 0;
    }
    WriteRect(h.host.m_hWnd);
    hold(4000);
    return 0;
}
