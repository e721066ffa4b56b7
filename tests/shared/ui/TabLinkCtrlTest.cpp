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
        HGDIOBJ old = ::SelectObject(hdc, ::CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0,
                                                         DRAFT_QUALITY, 0, "MS UI Gothic"));
        SIZE size = {};
        ::GetTextExtentPoint32A(hdc, caption, lstrlenA(caption), &size);
        ::DeleteObject(::SelectObject(hdc, old));
        ::ReleaseDC(m_hParent, hdc);
        return size.cx + 20;
    }

    // The messages 2116 waiting for the parent, as "new,previous ".
    std::string Posted()
    {
        std::string out;
        MSG msg;
        while (::PeekMessageA(&msg, m_hParent, kTabChanged, kTabChanged, PM_REMOVE))
            out += std::to_string(msg.wParam) + "," + std::to_string(msg.lParam) + " ";
        return out;
    }

    // Repaints (which lays the tabs out) and clicks at x.
    static void Click(CTabLinkCtrl& tab, int x)
    {
        tab.UpdateWindow();
        tab.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 12));
        tab.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, 12));
    }

    // Whether the mouse at x shows the hand cursor.
    static bool Hand(CTabLinkCtrl& tab, int x)
    {
        ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
        tab.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(x, 13));
        return ::GetCursor() == ::LoadCursorA(nullptr, IDC_HAND);
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
    for (const char* caption : {"One", "Two", "A caption much too long for the strip", "Beyond"})
        tab.AppendTab(caption);

    Click(tab, w0 + 1 + 2);   // just inside the second tab
    EXPECT_EQ(tab.GetCurSel(), 1);
    EXPECT_EQ(::GetFocus(), tab.m_hWnd);
    Click(tab, w0 - 2);       // just inside the first
    EXPECT_EQ(tab.GetCurSel(), 0);
    ::SetFocus(m_hParent);
    Click(tab, w0 - 2);       // the selected tab again: focus, no message
    EXPECT_EQ(::GetFocus(), tab.m_hWnd);
    Click(tab, width - 1);    // the clipped third tab ends at the right edge
    EXPECT_EQ(tab.GetCurSel(), 2);
    EXPECT_EQ(Posted(), "1,0 0,1 2,0 ");

    EXPECT_EQ(tab.SetCurSel(2), 2);
    EXPECT_EQ(Posted(), "");
    EXPECT_EQ(tab.SetCurSel(3), 2);
    EXPECT_EQ(Posted(), "3,2 ");
    tab.DestroyWindow();
}

TEST_F(TabFixture, TheLogoShowsTheHandCursorAndAClickOpensTheLinkWithoutChangingTheTab)
{
    // The link is a batch file that leaves a marker behind when opened.
    testsupport::TempDir dir;
    const std::string marker = dir.File("opened.txt"), batch = dir.File("link.bat");
    std::ofstream(batch) << "@echo opened> \"" << marker << "\"\r\n";
    CTabLinkCtrl tab;
    ASSERT_TRUE(tab.Create(300, CRect(0, 0, 400, 26), &m_parent));
    tab.AppendTab("One");
    tab.SetURI("Norvane", batch.c_str());
    tab.UpdateWindow();
    EXPECT_FALSE(Hand(tab, 385));   // no hand cursor id
    tab.SetHandCursorID(32649);     // the system's hand
    EXPECT_TRUE(Hand(tab, 385));
    EXPECT_FALSE(Hand(tab, 200));   // between tabs and logo
    Click(tab, 385);
    for (int i = 0; i < 100 && !testsupport::FileExists(marker); ++i)
        ::Sleep(100);
    EXPECT_TRUE(testsupport::FileExists(marker));
    EXPECT_EQ(tab.GetCurSel(), 0);
    EXPECT_EQ(Posted(), "");
    tab.DestroyWindow();
}

TEST(CTabLinkCtrl, ShadeColorKeepsTheHueClampsAndSurvivesNoGreen)
{
    const struct {
        COLORREF color;
        int delta;
        COLORREF shaded;
    } rows[] = {
        {RGB(222, 184, 135), -16, RGB(202, 168, 123)}, {RGB(222, 184, 135), -64, RGB(144, 120, 88)},
        {RGB(222, 184, 135), 100, RGB(255, 255, 187)}, {RGB(222, 184, 135), -255, RGB(0, 0, 0)},
        {RGB(100, 0, 50), -16, RGB(84, 0, 34)},        {RGB(100, 0, 50), 16, RGB(116, 16, 66)},
    };
    CTabLinkCtrl tab;
    for (const auto& row : rows)
        EXPECT_EQ(tab.ShadeColor(row.color, row.delta), row.shaded) << row.delta;
}
