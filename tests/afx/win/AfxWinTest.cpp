// The framework's user-interface layer, in-process: a real modal dialog from
// a resource template, driven by the private message it posts to itself.
#include "afx/afxcmn.h"

#include "AfxWinTestRes.h"
#include "shared/ui/UiDriver.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

using uitest::Click;

namespace {

const UINT WM_TEST_START = WM_USER + 7;

class CTestDlg : public CDialog {
public:
    CTestDlg() : CDialog(IDD_TEST) {}

    CString m_strText;
    int m_nNumber = 0;
    CEdit m_wndText;
    CProgressCtrl m_wndBar;
    bool m_bVisibleAtStart = false;
    std::function<void(CTestDlg&)> m_onStart;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_TEXT, m_wndText);
        DDX_Control(pDX, IDC_BAR, m_wndBar);
        DDX_Text(pDX, IDC_TEXT, m_strText);
        DDX_Text(pDX, IDC_NUMBER, m_nNumber);
    }

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        PostMessage(WM_TEST_START);
        return TRUE;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != WM_TEST_START)
            return CDialog::WindowProc(message, wParam, lParam);
        m_bVisibleAtStart = IsWindowVisible() != FALSE;
        if (m_onStart)
            m_onStart(*this);
        return 0;
    }
};

void Press(CWnd& wnd, int id)
{
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

} // namespace

TEST(CDialog, ExchangesDataBothWaysAndUnbindsAtTheEnd)
{
    CTestDlg dlg;
    dlg.m_strText = "\x95\x5C\x8E\xA6";   // Shift-JIS, with a trail byte of 0x5C
    dlg.m_nNumber = 42;
    HWND hWndDlg = nullptr, hWndText = nullptr;
    std::string shown;
    dlg.m_onStart = [&](CTestDlg& d) {
        hWndDlg = d.m_hWnd;
        hWndText = d.m_wndText.m_hWnd;
        CString text, number;
        d.GetDlgItemText(IDC_TEXT, text);
        d.GetDlgItemText(IDC_NUMBER, number);
        int low = -1, high = -1;
        d.m_wndBar.SetRange32(0, 2);
        d.m_wndBar.SetStep(1);
        d.m_wndBar.StepIt();
        d.m_wndBar.GetRange(low, high);
        shown = std::string(text) + " " + std::string(number) + " " + std::to_string(low) + ".." + std::to_string(high)
            + " at " + std::to_string(d.m_wndBar.GetPos());
        d.SetDlgItemText(IDC_TEXT, "changed");
        d.SetDlgItemText(IDC_NUMBER, " -17 ");
        Press(d, IDOK);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(dlg.m_bVisibleAtStart);   // posted work runs with the dialog on screen
    EXPECT_EQ(shown, "\x95\x5C\x8E\xA6 42 0..2 at 1");
    EXPECT_STREQ(dlg.m_strText, "changed");
    EXPECT_EQ(dlg.m_nNumber, -17);

    // The dialog and its subclassed control are unbound once destroyed.
    ASSERT_NE(hWndText, nullptr);
    ASSERT_EQ(dlg.m_hWnd, nullptr);
    ASSERT_EQ(dlg.m_wndText.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWndDlg), nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWndText), nullptr);

    // The same object runs again; Cancel takes nothing back.
    dlg.m_onStart = [](CTestDlg& d) { Press(d, IDCANCEL); };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_STREQ(dlg.m_strText, "changed");
}

TEST(CDialog, RefusedValueKeepsTheDialogOpenAndAMissingTemplateFails)
{
    CTestDlg dlg;
    dlg.m_nNumber = 5;
    dlg.m_onStart = [](CTestDlg& d) {
        d.SetDlgItemText(IDC_TEXT, "kept out");
        d.SetDlgItemText(IDC_NUMBER, "12x");
        Click(d.m_hWnd, IDOK);
    };
    std::string boxText;
    uitest::Script script({uitest::AnswerBox(&boxText, nullptr),
                           uitest::On("afxwin test", [](HWND h) { Click(h, IDCANCEL); })});
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(boxText, "Enter an integer.");
    EXPECT_EQ(dlg.m_nNumber, 5);
    // The text came before the number; a refused exchange may leave it set,
    // as the framework always has.
    EXPECT_STREQ(dlg.m_strText, "kept out");

    CDialog missing(999u);
    EXPECT_EQ(missing.DoModal(), -1);
    EXPECT_EQ(missing.m_hWnd, nullptr);
}

namespace {

// Counts what reaches it, records a click, and fails on a mouse move.
class CProbe : public CEdit {
public:
    int m_nSetText = 0, m_nFocus = 0;
    UINT m_nFlags = 0;
    CPoint m_down{-1, -1};

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        m_nSetText += message == WM_SETTEXT;
        return CEdit::WindowProc(message, wParam, lParam);
    }
    void OnLButtonDown(UINT nFlags, CPoint point) override
    {
        m_nFlags = nFlags;
        m_down = point;
    }
    void OnMouseMove(UINT, CPoint) override { throw std::runtime_error("handler failed"); }
    void OnSetFocus(CWnd* pOldWnd) override
    {
        ++m_nFocus;
        CWnd::OnSetFocus(pOldWnd);
    }
};

} // namespace

TEST(CWnd, SubclassRoutesMessagesToHandlersAndRestoresTheProcedure)
{
    HWND hWnd = CreateWindowExA(0, "EDIT", "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 20, nullptr, nullptr, nullptr,
                                nullptr);
    ASSERT_NE(hWnd, nullptr);
    LONG_PTR original = GetWindowLongPtrA(hWnd, GWLP_WNDPROC);
    {
        CProbe wnd, other;
        ASSERT_TRUE(wnd.SubclassWindow(hWnd));
        EXPECT_EQ(CWnd::FromHandle(hWnd), &wnd);
        EXPECT_FALSE(other.SubclassWindow(hWnd));   // one owner per handle
        EXPECT_FALSE(other.Attach(hWnd));
        wnd.SetWindowText("abc");
        CString text;
        wnd.GetWindowText(text);
        EXPECT_STREQ(text, "abc");   // the control's own procedure still ran
        wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(-5, 7));
        EXPECT_EQ(wnd.m_down, CPoint(-5, 7));   // coordinates left of a window are negative
        EXPECT_EQ(wnd.m_nFlags, static_cast<UINT>(MK_LBUTTON | MK_SHIFT));
        wnd.SendMessage(WM_SETFOCUS);
        EXPECT_EQ(wnd.m_nFocus, 1);
        std::string boxText;
        {
            uitest::Script box({uitest::AnswerBox(&boxText, nullptr)});
            wnd.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));   // does not end the program
        }
        EXPECT_EQ(boxText, "An unexpected error stopped the last operation.");
        EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &wnd);

        EXPECT_EQ(wnd.UnsubclassWindow(), hWnd);
        EXPECT_EQ(GetWindowLongPtrA(hWnd, GWLP_WNDPROC), original);
        ::SetWindowTextA(hWnd, "def");
        EXPECT_EQ(wnd.m_nSetText, 1);
        ASSERT_TRUE(wnd.SubclassWindow(hWnd));   // an object that dies first leaves the window as it found it
    }
    EXPECT_EQ(GetWindowLongPtrA(hWnd, GWLP_WNDPROC), original);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);

    // A window destroyed while subclassed unbinds its object.
    CProbe wnd;
    ASSERT_TRUE(wnd.SubclassWindow(hWnd));
    DestroyWindow(hWnd);
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

TEST(Resources, StringsInTheAnsiCodePageFromTheClientThenLibraries)
{
    const struct {
        UINT id;
        bool found;
        const char* text;
    } rows[] = {
        {IDS_JAPANESE, true, "\x95\x5C\x8E\xA6"}, {IDS_LAST_OF_BLOCK, true, "fifteen"},
        {IDS_FIRST_OF_BLOCK, true, "sixteen"},    {IDS_EMPTY, false, ""},
        {IDS_MISSING, false, ""},                 {60000, false, ""},   // no such block at all
    };
    CString s;
    for (const auto& row : rows) {
        s = "old";
        EXPECT_EQ(s.LoadString(row.id) != FALSE, row.found) << row.id;
        EXPECT_STREQ(s, row.text) << row.id;
    }

    HMODULE hLib = LoadLibraryA("afxwin_test_library.dll");
    ASSERT_NE(hLib, nullptr);
    EXPECT_FALSE(s.LoadString(IDS_LIBRARY_ONLY));
    AfxAddResourceModule(hLib);
    AfxAddResourceModule(hLib);   // once is enough
    EXPECT_TRUE(s.LoadString(IDS_LIBRARY_ONLY));
    EXPECT_STREQ(s, "from the library");
    EXPECT_TRUE(s.LoadString(IDS_SHARED));
    EXPECT_STREQ(s, "client");
    EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEA(IDD_TEST), MAKEINTRESOURCEA(5)), GetModuleHandleA(nullptr));
    // A library made the resource handle comes first.
    AfxSetResourceHandle(hLib);
    EXPECT_TRUE(s.LoadString(IDS_SHARED));
    EXPECT_STREQ(s, "library");
    AfxSetResourceHandle(nullptr);
    AfxRemoveResourceModule(hLib);
    EXPECT_FALSE(s.LoadString(IDS_LIBRARY_ONLY));
    FreeLibrary(hLib);
}
