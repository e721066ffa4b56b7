#include "ViewHarness.h"

#include "TessalyTable.h"
#include "shared/data/DataFileBuilder.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>

extern "C" __declspec(dllimport) void InitNvComnDLL(void);

using namespace NorvaneCommon;
using namespace uitest;

namespace viewtest {

// The settings key of the harness's application object.
const char kProfileKey[] = "NorvaneViewTest";

bool MakeMemoFile(const std::string& path, const MemoFilePlan& plan)
{
    testdata::DataFileBuilder b;
    if (!plan.password.empty())
        b.SetPassword(Ansi(plan.password.c_str()));
    b.hint = Ansi(plan.hint.c_str());
    b.SetCategory(0, "Unfiled", 0);
    for (size_t i = 0; i < plan.categories.size(); ++i)
        b.SetCategory(static_cast<int>(i + 1), Ansi(plan.categories[i].c_str()), static_cast<std::uint8_t>(i + 1));
    b.lastUniqueID = static_cast<std::uint8_t>(plan.categories.size());
    std::uint32_t id = 1001;
    for (const Memo& m : plan.memos) {
        std::string text = Ansi(m.text.c_str());
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());   // stored with LF line breaks
        b.AddMemo(text, id++, m.deleted ? testdata::attr::Deleted : 0, static_cast<std::uint32_t>(m.category));
    }
    return testsupport::WriteBytes(path, b.Build());
}

std::vector<std::string> ReadBack(const std::string& path, const std::string& password)
{
    std::vector<std::string> out;
    CTessalyTable table;
    CString p(path.c_str());
    if (table.OpenFrom(p, CFile::modeRead, Ansi(password.c_str()).c_str()) != 0)
        return {"<cannot open>"};
    for (int i = 0; i < table.GetRecordCount(); ++i) {
        CTessalyRecord* r = static_cast<CTessalyRecord*>(table.GetRecord(i));
        std::string text(r->GetMemo().GetString());
        if (text.size() > 40)
            text = text.substr(0, 8) + "..<" + std::to_string(text.size()) + ">";
        out.push_back(text + "|" + std::to_string(r->GetCategory()) + "|" + (r->IsUpdate() ? "u" : "")
                      + (r->IsDeleted() ? "d" : "") + "|" + std::to_string(r->GetID()));
    }
    return out;
}

LRESULT HostWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == CMainDlg::WM_STATUSMESSAGE) {
        statuses.emplace_back(static_cast<int>(wParam), static_cast<int>(lParam));
        return 0;
    }
    if (message == WM_SIZE) {
        if (HWND hChild = ::GetWindow(m_hWnd, GW_CHILD))
            ::MoveWindow(hChild, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

Step Watch(std::vector<std::string>* seen)
{
    return [seen](HWND top) {
        if (top) {
            const bool box = IsMessageBox(top);
            seen->push_back(box ? "box:" + BoxText(top) : "dialog:" + WindowText(top));
            Click(top, box ? IDOK : IDCANCEL);
        }
        return false;
    };
}

void ChooseCategory(HWND hDlg, int data, bool post)
{
    HWND h = ::GetDlgItem(hDlg, IDC_CATEGORY);
    for (int i = 0; i < static_cast<int>(::SendMessageA(h, CB_GETCOUNT, 0, 0)); ++i)
        if (static_cast<int>(::SendMessageA(h, CB_GETITEMDATA, i, 0)) == data)
            ::SendMessageA(h, CB_SETCURSEL, i, 0);
    const WPARAM change = MAKEWPARAM(IDC_CATEGORY, CBN_SELCHANGE);
    post ? void(::PostMessageA(hDlg, WM_COMMAND, change, reinterpret_cast<LPARAM>(h)))
         : void(::SendMessageA(hDlg, WM_COMMAND, change, reinterpret_cast<LPARAM>(h)));
}

ViewHarness::ViewHarness()
{
    InitNvComnDLL();
    ::SHDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\") + kProfileKey).c_str());
    app.SetRegistryKey(kProfileKey);
    host.Create(nullptr, "Memo view", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CRect(20, 20, 820, 560), nullptr, 0);
    app.m_pMainWnd = &host;
    host.ShowWindow(SW_SHOW);
    view = new CMainDlg;
    view->Create(&host);
    CRect rc;
    host.GetClientRect(&rc);
    view->MoveWindow(0, 0, rc.Width(), rc.Height());
    view->ShowWindow(SW_SHOW);
    Pump();
}

ViewHarness::~ViewHarness()
{
    delete view;
    view = nullptr;
    app.m_pMainWnd = nullptr;
    host.DestroyWindow();
    Pump();
    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
    // The prefix is shared with other suites that expect no settings.
    ::SHDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\") + kProfileKey).c_str());
}

void ViewHarness::Pump()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (view && view->PreTranslateMessage(&msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

std::vector<std::string> ViewHarness::Items(int column) const
{
    HWND h = ::GetDlgItem(view->m_hWnd, IDC_LIST);
    std::vector<std::string> out;
    const int count = ListView_GetItemCount(h);
    for (int i = 0; i < count; ++i) {
        char text[512] = {};
        ListView_GetItemText(h, i, column, text, sizeof text);
        const bool selected = ListView_GetItemState(h, i, LVIS_SELECTED) != 0;
        out.push_back((selected ? "*" : "") + std::string(text));
    }
    return out;
}

void ViewHarness::Select(const std::vector<int>& positions)
{
    HWND h = ::GetDlgItem(view->m_hWnd, IDC_LIST);
    ListView_SetItemState(h, -1, 0, LVIS_SELECTED);
    for (int p : positions)
        ListView_SetItemState(h, p, LVIS_SELECTED, LVIS_SELECTED);
}

std::string ViewHarness::ClipboardText() const
{
    if (!::OpenClipboard(nullptr))
        return "<closed>";
    HGLOBAL h = ::GetClipboardData(CF_TEXT);
    const char* p = h ? static_cast<const char*>(::GlobalLock(h)) : nullptr;
    const std::string text = p ? p : "<none>";
    if (p)
        ::GlobalUnlock(h);
    ::CloseClipboard();
    return text;
}

void ViewHarness::SetClipboardText(const std::string& ansi) const
{
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, ansi.size() + 1);
    std::memcpy(::GlobalLock(h), ansi.c_str(), ansi.size() + 1);
    ::GlobalUnlock(h);
    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::SetClipboardData(CF_TEXT, h);
        ::CloseClipboard();
    }
}

} // namespace viewtest
