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
    using CResizeDialog::SaveResizePlacements;
    void SetHCursor(int id) { m_nHSplitCursorID = id; }

protected:
    BOOL OnInitDialog() override
    {
        CResizeDialog::OnInitDialog();
        AddResizeControl(kLeft, StretchV | MarginBottom);
        AddResizeControl(kRight, StretchH | StretchV | MarginRight | MarginBottom);
        AddResizeControl(kButton, MoveH | MoveV);
        AddResizeControl(999, StretchH);   // no such item: ignored
        SetControlMinSize(kLeft, CSize(100, 0));
        SetControlMinSize(kRight, CSize(100, 0));
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

// Resizes the dialog so that its client area is cx by cy; returns it.
CRect SetClientSize(HWND hDlg, int cx, int cy)
{
    CRect w, c;
    ::GetWindowRect(hDlg, &w);
    ::GetClientRect(hDlg, &c);
    ::SetWindowPos(hDlg, nullptr, 0, 0, cx + w.Width() - c.Width(), cy + w.Height() - c.Height(),
                   SWP_NOMOVE | SWP_NOZORDER);
    ::GetClientRect(hDlg, &c);
    return c;
}

// Drags the splitter between the panes by dx with mouse messages.
void Drag(HWND hDlg, int dx)
{
    const int x = (ItemRect(hDlg, kLeft).right + ItemRect(hDlg, kRight).left) / 2, y = ItemRect(hDlg, kLeft).top + 20;
    ::SendMessageA(hDlg, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::SendMessageA(hDlg, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + dx, y));
    ::SendMessageA(hDlg, WM_LBUTTONUP, 0, MAKELPARAM(x + dx, y));
}

class ResizeFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitNvComnDLL();
        m_app.SetRegistryKey("NorvaneTest");
        TearDown();
    }
    void TearDown() override
    {
        for (const char* key : {"Card 1", "Card 2"})
            m_app.WriteProfileString("", key, nullptr);
    }

    // The left pane of a dialog that loaded the stored positions.
    CRect LoadedLeft()
    {
        CTestResizeDlg dlg;
        dlg.m_bLoad = true;
        CRect left;
        EXPECT_EQ(RunModal(dlg, {On("ResizeTest", [](HWND) {}),   // the posted moves run after initialization
                                 On("ResizeTest", [&](HWND h) {
                                     left = ItemRect(h, kLeft);
                                     Click(h, IDCANCEL);
                                 })}),
                  IDCANCEL);
        return left;
    }

    CWinApp m_app{"NvComnUiTest"};
};

} // namespace

TEST_F(ResizeFixture, ControlsFollowTheSizeWithinMinimumsMarginsAndGaps)
{
    CTestResizeDlg dlg;
    EXPECT_EQ(RunModal(dlg, {On("ResizeTest", [](HWND h) {
        CRect c0;
        ::GetClientRect(h, &c0);
        const CRect l0 = ItemRect(h, kLeft), r0 = ItemRect(h, kRight), b0 = ItemRect(h, kButton);
        // Larger: the right pane stretches both ways, the left one only down,
        // the button keeps its distances to the right and bottom edges. The
        // template leaves less than the margin of 16 pixels on the right, so
        // the stretched right edge stops 16 pixels inside.
        EXPECT_LT(c0.right - r0.right, 16);
        const CRect big = SetClientSize(h, c0.Width() + 100, c0.Height() + 50);
        EXPECT_EQ(ItemRect(h, kLeft), CRect(l0.left, l0.top, l0.right, l0.bottom + 50));
        EXPECT_EQ(ItemRect(h, kRight), CRect(r0.left, r0.top, big.right - 16, r0.bottom + 50));
        EXPECT_EQ(ItemRect(h, kButton), CRect(b0.left + 100, b0.top + 50, b0.right + 100, b0.bottom + 50));
        // Smaller: the right pane's minimum width of 100 would take its right
        // edge past the margin, so the margin wins; the panes' bottoms follow.
        const CRect small = SetClientSize(h, r0.left + 60, c0.Height() - 40);
        EXPECT_LT(small.right, r0.left + 100 + 16);
        EXPECT_EQ(ItemRect(h, kRight),
                  CRect(r0.left, r0.top, small.right - 16, small.bottom - (c0.bottom - r0.bottom)));
        EXPECT_EQ(ItemRect(h, kLeft), CRect(l0.left, l0.top, l0.right, small.bottom - (c0.bottom - l0.bottom)));
        CRect b = b0;
        b.OffsetRect(small.right - c0.right, small.bottom - c0.bottom);
        EXPECT_EQ(ItemRect(h, kButton), b);
        Click(h, IDCANCEL);
    })}), IDCANCEL);
}

TEST_F(ResizeFixture, DraggingTheSplitterKeepsMinimumWidthsAndIsSavedAndRestored)
{
    CTestResizeDlg dlg;
    CRect left0, right0, afterFar, afterBack, noCursor;
    ASSERT_EQ(RunModal(dlg, {
        On("ResizeTest", [&](HWND h) {
            left0 = ItemRect(h, kLeft);
            right0 = ItemRect(h, kRight);
            Drag(h, -500);   // far to the left: the left pane stops at its minimum of 100
        }),
        On("ResizeTest", [&](HWND h) {   // after the posted move ran
            afterFar = ItemRect(h, kLeft);
            Drag(h, 40);
        }),
        On("ResizeTest", [&](HWND h) {
            afterBack = ItemRect(h, kLeft);
            dlg.SaveResizePlacements("", "Card ");
            dlg.SetHCursor(0);   // without a cursor id the splitter cannot be dragged
            Drag(h, -30);
        }),
        On("ResizeTest", [&](HWND h) {
            noCursor = ItemRect(h, kLeft);
            Click(h, IDCANCEL);
        }),
    }), IDCANCEL);
    ASSERT_GT(left0.Width(), 100);
    EXPECT_EQ(afterFar.Width(), 100);
    EXPECT_EQ(afterBack.Width(), 140);
    EXPECT_EQ(noCursor, afterBack);

    const std::string stored(m_app.GetProfileString("", "Card 1"));
    EXPECT_EQ(stored, "207 209 " + std::to_string(afterBack.right + right0.left - left0.right));
    EXPECT_STREQ(m_app.GetProfileString("", "Card 2"), "");
    EXPECT_EQ(LoadedLeft(), afterBack);   // a fresh dialog takes the position up

    // Reading stops at the first missing key.
    m_app.WriteProfileString("", "Card 1", nullptr);
    m_app.WriteProfileString("", "Card 2", stored.c_str());
    EXPECT_EQ(LoadedLeft(), left0);
}
