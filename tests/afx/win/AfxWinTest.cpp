// The framework's user-interface layer, in-process: a real modal dialog from
// a resource template and subclassed windows, driven as a user would.
#include "afx/afxcmn.h"

#include "AfxWinTestRes.h"
#include "shared/ui/UiDriver.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace uitest;

namespace {

class CTestDlg : public CDialog {
public:
    CTestDlg() : CDialog(IDD_TEST) {}

    CString m_strText;
    int m_nNumber = 0;
    CEdit m_wndText;
    CProgressCtrl m_wndBar;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_TEXT, m_wndText);
        DDX_Control(pDX, IDC_BAR, m_wndBar);
        DDX_Text(pDX, IDC_TEXT, m_strText);
        DDX_Text(pDX, IDC_NUMBER, m_nNumber);
    }
};

} // namespace

TEST(CDialog, ExchangesDataBothWaysAndUnbindsAtTheEnd)
{
    CTestDlg dlg;
    dlg.m_strText = "\x95\x5C\x8E\xA6";   // Shift-JIS, with a trail byte of 0x5C
    dlg.m_nNumber = 42;
    HWND hWndDlg = nullptr, hWndText = nullptr;
    std::string shown;
    const Step step = On("afxwin test", [&](HWND h) {
        hWndDlg = dlg.m_hWnd;
        hWndText = dlg.m_wndText.m_hWnd;
        int low = -1, high = -1;
        dlg.m_wndBar.SetRange32(0, 2);
        dlg.m_wndBar.SetStep(1);
        dlg.m_wndBar.StepIt();
        dlg.m_wndBar.GetRange(low, high);
        shown = ItemText(h, IDC_TEXT) + " " + ItemText(h, IDC_NUMBER) + " " + std::to_string(low) + ".."
            + std::to_string(high) + " at " + std::to_string(dlg.m_wndBar.GetPos());
        SetItemText(h, IDC_TEXT, "changed");
        SetItemText(h, IDC_NUMBER, " -17 ");
        Click(h, IDOK);
    });
    EXPECT_EQ(RunModal(dlg, {step}), IDOK);
    ASSERT_NE(hWndText, nullptr);
    EXPECT_EQ(shown, "\x95\x5C\x8E\xA6 42 0..2 at 1");
    EXPECT_STREQ(dlg.m_strText, "changed");
    EXPECT_EQ(dlg.m_nNumber, -17);

    // The dialog and its subclassed control are unbound once destroyed.
    ASSERT_EQ(dlg.m_hWnd, nullptr);
    ASSERT_EQ(dlg.m_wndText.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWndDlg), nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWndText), nullptr);

    // The same object runs again; Cancel takes nothing back.
    EXPECT_EQ(RunModal(dlg, {On("afxwin test", [](HWND h) {
                  SetItemText(h, IDC_TEXT, "not taken");
                  Click(h, IDCANCEL);
              })}),
              IDCANCEL);
    EXPECT_STREQ(dlg.m_strText, "changed");
}

TEST(CDialog, RefusedValueKeepsTheDialogOpenAndAMissingTemplateFails)
{
    CTestDlg dlg;
    dlg.m_nNumber = 5;
    std::string boxText;
    const Step refused = On("afxwin test", [](HWND h) {
        SetItemText(h, IDC_TEXT, "kept out");
        SetItemText(h, IDC_NUMBER, "12x");
        Click(h, IDOK);
    });
    const Step cancel = On("afxwin test", [](HWND h) { Click(h, IDCANCEL); });
    EXPECT_EQ(RunModal(dlg, {refused, AnswerBox(&boxText, nullptr), cancel}), IDCANCEL);
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
            Script box({AnswerBox(&boxText, nullptr)});
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
    DestroyWindow(hWnd);
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
    // A library made the resource handle comes first.
    AfxSetResourceHandle(hLib);
    EXPECT_TRUE(s.LoadString(IDS_SHARED));
    EXPECT_STREQ(s, "library");
    AfxSetResourceHandle(nullptr);
    AfxRemoveResourceModule(hLib);
    EXPECT_FALSE(s.LoadString(IDS_LIBRARY_ONLY));
    FreeLibrary(hLib);
}
