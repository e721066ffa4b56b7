// The tab and link strip: its geometry as painted, selection by clicks and
// by SetCurSel with message 2116, the link's area and cursor, and shading.
#include "TabLinkCtrl.h"
#include "UiDriver.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>

extern "C" __declspec(dllimport) void InitNvComnDLL(void);

using namespace NorvaneCommon;

namespace {

const UINT kTabChanged = WM_USER + 0x444;

class TabFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitNvComnDLL();
        m_hParent = ::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 500, 100, nullptr, nullptr,
                                      nullptr, nullptr);
        m_parent.Attach(m_hParent);
    }
    void TearDown() override
    {
        m_parent.Detach();
        ::DestroyWindow(m_hParent);
    }

    // The width of a caption in the tab font, plus the tab's 20 pixels.
    int TabWidth(const char* caption)
    {
        HDC hdc = ::GetDC(m_hParent);
        LOGFONTA lf = {};
        lf.lfHeight = 12;
        lf.lfCharSet = SHIFTJIS_CHARSET;
        lf.lfQuality = DRAFT_QUALITY;
        lstrcpyA(lf.lfFaceName, "MS UI Gothic");
        HFONT font = ::CreateFontIndirectA(&lf);
        HGDIOBJ old = ::SelectObject(hdc, font);
        SIZE size = {};
        ::GetTextExtentPoint32A(hdc, caption, lstrlenA(caption), &size);
        ::SelectObject(hdc, old);
        ::DeleteObject(font);
        ::ReleaseDC(m_hParent, hdc);
        return size.cx + 20;
    }

    // The messages 2116 waiting for the parent, as "new,previous".
    std::vector<std::string> Posted()
    {
        std::vector<std::string> out;
        MSG msg;
        while (::PeekMessageA(&msg, m_hParent, kTabChanged, kTabChanged, PM_REMOVE))
            out.push_back(std::to_string(msg.wParam) + "," + std::to_string(msg.lParam));
        return out;
    }

    static void Click(CTabLinkCtrl& tab, int x, int y)
    {
        tab.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        tab.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }

    HWND m_hParent = nullptr;
    CWnd m_parent;
};

} // namespace

TEST_F(TabFixture, TabsAreClippedAndSelectedByClicksAndSetCurSel)
{
    CTabLinkCtrl tab;
    const int w0 = TabWidth("One"), w1 = TabWidth("Two");
    const int width = w0 + 1 + w1 + 1 + 30;   // the third tab gets 30 pixels
    ASSERT_TRUE(tab.Create(300, CRect(0, 0, width, 26), &m_parent));
    tab.AppendTab("One");
    tab.AppendTab("Two");
    tab.AppendTab("A caption much too long for the strip");
    tab.AppendTab("Beyond");

    // Nothing painted yet: no tab can be hit.
    Click(tab, w0 + 5, 12);
    EXPECT_EQ(tab.GetCurSel(), 0);
    EXPECT_TRUE(Posted().empty());

    tab.UpdateWindow();
    Click(tab, w0 + 1 + 2, 12);   // just inside the second tab
    EXPECT_EQ(tab.GetCurSel(), 1);
    EXPECT_EQ(Posted(), (std::vector<std::string>{"1,0"}));
    EXPECT_EQ(::GetFocus(), tab.m_hWnd);

    tab.UpdateWindow();
    Click(tab, w0 - 2, 12);       // just inside the first
    EXPECT_EQ(tab.GetCurSel(), 0);
    ::SetFocus(m_hParent);
    tab.UpdateWindow();
    Click(tab, w0 - 2, 12);       // the selected tab again: focus, no message
    EXPECT_EQ(Posted(), (std::vector<std::string>{"0,1"}));
    EXPECT_EQ(::GetFocus(), tab.m_hWnd);

    // The clipped third tab ends at the right edge.
    tab.UpdateWindow();
    Click(tab, width - 1, 12);
    EXPECT_EQ(tab.GetCurSel(), 2);
    EXPECT_EQ(Posted(), (std::vector<std::string>{"2,0"}));

    EXPECT_EQ(tab.SetCurSel(2), 2);
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(tab.SetCurSel(3), 2);
    EXPECT_EQ(Posted(), (std::vector<std::string>{"3,2"}));
    tab.DestroyWindow();
}

TEST_F(TabFixture, TheLinkAreaTakesClicksAndShowsTheHandCursor)
{
    CTabLinkCtrl tab;
    ASSERT_TRUE(tab.Create(300, CRect(0, 0, 400, 26), &m_parent));
    tab.AppendTab("One");
    tab.AppendTab("Two");
    tab.SetURI("Norvane", "tessaly-test-nowhere:");
    tab.UpdateWindow();
    ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
    tab.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(385, 13));
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_ARROW));   // no hand cursor id
    tab.SetHandCursorID(32649);                                    // the system's hand
    tab.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(385, 13));
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_HAND));
    ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
    tab.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(200, 13));          // between tabs and logo
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_ARROW));
    tab.DestroyWindow();

    // When the tabs leave no room there is no link area: the right end
    // belongs to the last tab.
    CTabLinkCtrl narrow;
    const int w0 = TabWidth("One");
    ASSERT_TRUE(narrow.Create(301, CRect(0, 0, w0 + 15, 26), &m_parent));
    narrow.AppendTab("One");
    narrow.AppendTab("Two");
    narrow.SetURI("Norvane", "tessaly-test-nowhere:");
    narrow.SetHandCursorID(32649);
    narrow.UpdateWindow();
    ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
    narrow.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(w0 + 12, 13));
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_ARROW));
    Click(narrow, w0 + 12, 12);
    EXPECT_EQ(narrow.GetCurSel(), 1);
    narrow.DestroyWindow();
}

TEST_F(TabFixture, AClickOnTheLogoOpensTheLinkWithoutChangingTheTab)
{
    // The link is a batch file that leaves a marker behind when opened.
    testsupport::TempDir dir;
    const std::string marker = dir.File("opened.txt");
    const std::string batch = dir.File("link.bat");
    {
        std::ofstream out(batch);
        out << "@echo opened> \"" << marker << "\"\r\n";
    }
    CTabLinkCtrl tab;
    ASSERT_TRUE(tab.Create(300, CRect(0, 0, 400, 26), &m_parent));
    tab.AppendTab("One");
    tab.SetURI("Norvane", batch.c_str());
    tab.UpdateWindow();
    Click(tab, 385, 12);
    for (int i = 0; i < 100 && !testsupport::FileExists(marker); ++i)
        ::Sleep(100);
    EXPECT_TRUE(testsupport::FileExists(marker));
    EXPECT_EQ(tab.GetCurSel(), 0);
    EXPECT_TRUE(Posted().empty());
    tab.DestroyWindow();
}

TEST(CTabLinkCtrl, ShadeColorKeepsTheHueAndSurvivesNoGreen)
{
    CTabLinkCtrl tab;
    const COLORREF tan = RGB(222, 184, 135);
    EXPECT_EQ(tab.ShadeColor(tan, -16), RGB(202, 168, 123));
    EXPECT_EQ(tab.ShadeColor(tan, -64), RGB(144, 120, 88));
    EXPECT_EQ(tab.ShadeColor(tan, 100), RGB(255, 255, 187));   // clamped
    EXPECT_EQ(tab.ShadeColor(tan, -255), RGB(0, 0, 0));
    EXPECT_EQ(tab.ShadeColor(RGB(100, 0, 50), -16), RGB(84, 0, 34));
    EXPECT_EQ(tab.ShadeColor(RGB(100, 0, 50), 16), RGB(116, 16, 66));
}
