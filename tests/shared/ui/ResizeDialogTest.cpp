// The resizable dialog: anchoring, minimum sizes, the margin and the gap of
// a relation on resizing; a splitter dragged with mouse messages; the
// splitter positions in the profile.
#include "ResizeDialog.h"
#include "UiDriver.h"

#include <gtest/gtest.h>

extern "C" __declspec(dllimport) void InitNvComnDLL(void);

using namespace NorvaneCommon;
using namespace uitest;

// Rectangles in failure messages.
void PrintTo(const CRect& r, std::ostream* os)
{
    *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

const UINT kLeft = 207, kRight = 209, kButton = 211;

class CTestResizeDlg : public CResizeDialog {
public:
    CTestResizeDlg() : CResizeDialog(100) {}
    bool m_bLoad = false;
    int m_nMinWidth = 100;
    std::function<void(CTestResizeDlg&)> m_onClose;

    void SetHCursor(int id) { m_nHSplitCursorID = id; }
    void Save() { SaveResizePlacements("", "Card "); }

protected:
    BOOL OnInitDialog() override
    {
        CResizeDialog::OnInitDialog();
        AddResizeControl(kLeft, StretchV | MarginBottom);
        AddResizeControl(kRight, StretchH | StretchV | MarginRight | MarginBottom);
        AddResizeControl(kButton, MoveH | MoveV);
        AddResizeControl(999, StretchH);   // no such item: ignored
        SetControlMinSize(kLeft, CSize(m_nMinWidth, 0));
        SetControlMinSize(kRight, CSize(m_nMinWidth, 0));
        AddControlRelation(kRight, kLeft, 2, 1);   // given in either order
        AddControlRelation(kLeft, kRight, 8, 1);   // they overlap in height: no relation
        m_nHSplitCursorID = 32644;                 // any id: the splitter is active
        if (m_bLoad)
            LoadResizePlacements("", "Card ");
        return TRUE;
    }
};

CRect ItemRect(HWND hDlg, int id)
{
    CRect r;
    ::GetWindowRect(::GetDlgItem(hDlg, id), &r);
    ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<LPPOINT>(&r), 2);
    return r;
}

// Resizes the dialog so that its client area is cx by cy.
void SetClientSize(HWND hDlg, int cx, int cy)
{
    CRect w, c;
    ::GetWindowRect(hDlg, &w);
    ::GetClientRect(hDlg, &c);
    ::SetWindowPos(hDlg, nullptr, 0, 0, cx + w.Width() - c.Width(), cy + w.Height() - c.Height(),
                   SWP_NOMOVE | SWP_NOZORDER);
}

void Mouse(HWND hDlg, UINT message, int x, int y)
{
    ::SendMessageA(hDlg, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
}

class ResizeFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitNvComnDLL();
        m_app.SetRegistryKey("NorvaneTest");
        for (const char* key : {"Card 1", "Card 2"})
            m_app.WriteProfileString("", key, nullptr);
    }
    void TearDown() override
    {
        for (const char* key : {"Card 1", "Card 2"})
            m_app.WriteProfileString("", key, nullptr);
    }
    CWinApp m_app{"NvComnUiTest"};
};

} // namespace

TEST_F(ResizeFixture, ControlsFollowTheSizeWithinMinimumsMarginsAndGaps)
{
    CTestResizeDlg dlg;
    CRect left0, right0, button0, client0;
    CRect leftBig, rightBig, buttonBig, leftSmall, rightSmall, buttonSmall, clientSmall;
    int cx = 0, cy = 0;
    Script script({On("ResizeTest", [&](HWND h) {
        ::GetClientRect(h, &client0);
        left0 = ItemRect(h, kLeft);
        right0 = ItemRect(h, kRight);
        button0 = ItemRect(h, kButton);
        cx = client0.Width() + 100;
        cy = client0.Height() + 50;
        SetClientSize(h, cx, cy);
        leftBig = ItemRect(h, kLeft);
        rightBig = ItemRect(h, kRight);
        buttonBig = ItemRect(h, kButton);
        // The right pane's layout width goes below its minimum, which in
        // turn would reach into the margin.
        SetClientSize(h, right0.left + 60, client0.Height() - 40);
        ::GetClientRect(h, &clientSmall);
        leftSmall = ItemRect(h, kLeft);
        rightSmall = ItemRect(h, kRight);
        buttonSmall = ItemRect(h, kButton);
        Click(h, IDCANCEL);
    })});
    dlg.DoModal();
    ASSERT_TRUE(script.Finished());
    // Larger: the right pane stretches both ways, the left one only down,
    // the button keeps its distances to the right and bottom edges.
    EXPECT_EQ(leftBig, CRect(left0.left, left0.top, left0.right, left0.bottom + 50));
    // The template leaves less than the margin of 16 pixels on the right,
    // so the stretched right edge stops 16 pixels inside.
    ASSERT_LT(client0.right - right0.right, 16);
    EXPECT_EQ(rightBig, CRect(right0.left, right0.top, cx - 16, right0.bottom + 50));
    EXPECT_EQ(buttonBig, CRect(button0.left + 100, button0.top + 50, button0.right + 100, button0.bottom + 50));
    // Smaller: the right pane's minimum width of 100 would take its right
    // edge past the margin, so the margin wins; the panes' bottoms follow.
    const int cxs = clientSmall.Width(), cys = clientSmall.Height();
    ASSERT_LT(cxs, right0.left + 100 + 16);
    EXPECT_EQ(rightSmall, CRect(right0.left, right0.top, cxs - 16, cys - (client0.bottom - right0.bottom)));
    EXPECT_EQ(leftSmall, CRect(left0.left, left0.top, left0.right, cys - (client0.bottom - left0.bottom)));
    EXPECT_EQ(buttonSmall, CRect(cxs - (client0.right - button0.left), cys - (client0.bottom - button0.top),
                                 cxs - (client0.right - button0.right), cys - (client0.bottom - button0.bottom)));
}

TEST_F(ResizeFixture, DraggingTheSplitterKeepsMinimumWidthsAndIsSavedAndRestored)
{
    CTestResizeDlg dlg;
    CRect left0, right0, afterFar, afterBack, noCursor;
    Script script({
        On("ResizeTest", [&](HWND h) {
            left0 = ItemRect(h, kLeft);
            right0 = ItemRect(h, kRight);
            int x = (left0.right + right0.left) / 2, y = left0.top + 20;
            // Far to the left: the left pane stops at its minimum of 100.
            Mouse(h, WM_LBUTTONDOWN, x, y);
            Mouse(h, WM_MOUSEMOVE, x - 500, y);
            Mouse(h, WM_LBUTTONUP, x - 500, y);
        }),
        On("ResizeTest", [&](HWND h) {   // after the posted move ran
            afterFar = ItemRect(h, kLeft);
            CRect right = ItemRect(h, kRight);
            int x = (afterFar.right + right.left) / 2, y = afterFar.top + 20;
            Mouse(h, WM_LBUTTONDOWN, x, y);
            Mouse(h, WM_MOUSEMOVE, x + 40, y);
            Mouse(h, WM_LBUTTONUP, x + 40, y);
        }),
        On("ResizeTest", [&](HWND h) {
            afterBack = ItemRect(h, kLeft);
            dlg.Save();
            // Without a cursor id the splitter cannot be dragged.
            dlg.SetHCursor(0);
            CRect right = ItemRect(h, kRight);
            int x = (afterBack.right + right.left) / 2, y = afterBack.top + 20;
            Mouse(h, WM_LBUTTONDOWN, x, y);
            Mouse(h, WM_MOUSEMOVE, x - 30, y);
            Mouse(h, WM_LBUTTONUP, x - 30, y);
        }),
        On("ResizeTest", [&](HWND h) {
            noCursor = ItemRect(h, kLeft);
            Click(h, IDCANCEL);
        }),
    });
    dlg.DoModal();
    ASSERT_TRUE(script.Finished());
    ASSERT_GT(left0.Width(), 100);
    EXPECT_EQ(afterFar.Width(), 100);
    EXPECT_EQ(afterBack.Width(), 140);
    EXPECT_EQ(noCursor, afterBack);

    const std::string stored(m_app.GetProfileString("", "Card 1"));
    const int gap = right0.left - left0.right;
    EXPECT_EQ(stored, "207 209 " + std::to_string(afterBack.right + gap));
    EXPECT_STREQ(m_app.GetProfileString("", "Card 2"), "");

    // A fresh dialog takes the position up.
    CTestResizeDlg again;
    again.m_bLoad = true;
    CRect restored;
    Script load({
        On("ResizeTest", [](HWND) {}),   // the posted moves run after initialization
        On("ResizeTest", [&](HWND h) {
            restored = ItemRect(h, kLeft);
            Click(h, IDCANCEL);
        }),
    });
    again.DoModal();
    ASSERT_TRUE(load.Finished());
    EXPECT_EQ(restored, afterBack);

    // Reading stops at the first missing key.
    m_app.WriteProfileString("", "Card 1", nullptr);
    m_app.WriteProfileString("", "Card 2", stored.c_str());
    CTestResizeDlg third;
    third.m_bLoad = true;
    Script skip({
        On("ResizeTest", [](HWND) {}),
        On("ResizeTest", [&](HWND h) {
            restored = ItemRect(h, kLeft);
            Click(h, IDCANCEL);
        }),
    });
    third.DoModal();
    EXPECT_EQ(restored, left0);
}
