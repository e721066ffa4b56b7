// The extended list control on a real list view, its stored layout in the
// registry through the application's profile, and the column chooser.
#include "ListCtrlEx.h"
#include "UiDriver.h"

#include <gtest/gtest.h>

extern "C" __declspec(dllimport) void InitNvComnDLL(void);

using namespace NorvaneCommon;
using namespace uitest;

namespace {

const char kEntry[] = "Heading";

class ListFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitNvComnDLL();
        AfxInitCommonControls();
        m_app.SetRegistryKey("NorvaneTest");
        m_app.WriteProfileString("", kEntry, nullptr);
        m_hParent = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 600, 300, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        m_app.WriteProfileString("", kEntry, nullptr);
        m_app.WriteProfileString("", "Check", nullptr);
        ::DestroyWindow(m_hParent);
    }

    // A report list with columns 0, 1, 2 of widths 150, 100, 100.
    void Make(CListCtrlEx& list)
    {
        ASSERT_TRUE(list.SubclassWindow(::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 500, 200,
                                                          m_hParent, nullptr, nullptr, nullptr)));
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(list.InsertColumn(i, ("C" + std::to_string(i)).c_str(), LVCFMT_LEFT, i ? 100 : 150, i), i);
    }

    // The headings in display order as "label:width".
    static std::string Shown(CListCtrlEx& list)
    {
        HWND header = list.GetHeaderCtrl()->m_hWnd;
        int n = Header_GetItemCount(header), order[4] = {};
        Header_GetOrderArray(header, n, order);
        std::string out;
        for (int p = 0; p < n; ++p) {
            char text[32] = {};
            HDITEMA item = {};
            item.mask = HDI_TEXT | HDI_WIDTH;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            Header_GetItem(header, order[p], &item);
            out += std::string(text) + ":" + std::to_string(item.cxy) + " ";
        }
        return out;
    }

    std::string Stored(const char* entry = kEntry) { return std::string(m_app.GetProfileString("", entry)); }

    CWinApp m_app{"NvComnUiTest"};
    HWND m_hParent = nullptr;
};

} // namespace

TEST_F(ListFixture, HidingAndReorderingByIdAreStoredAndLoaded)
{
    CListCtrlEx list;
    Make(list);
    list.InsertItem(0, "row");
    list.SaveColumnPlacement("", kEntry);
    EXPECT_EQ(Stored(), "(3) 0 150 1 100 2 100 (0) ");
    EXPECT_EQ(list.RemoveColumn(0), 0);   // column 0 always shows
    EXPECT_EQ(list.RemoveColumn(1), 1);
    EXPECT_EQ(list.RemoveColumn(1), 0);   // already hidden
    EXPECT_EQ(list.RemoveColumn(7), 0);   // no such column
    EXPECT_EQ(list.SetItemText(0, 1, "hidden"), TRUE);
    EXPECT_EQ(list.SetItemText(0, 9, "nowhere"), FALSE);
    EXPECT_TRUE(list.SetItemText(0, 2, "third"));   // cells reach their column by id
    EXPECT_STREQ(list.GetItemText(0, 1), "third");
    int order[] = {1, 0};   // column 2 dragged before column 0
    list.SetColumnOrderArray(2, order);
    list.SetColumnWidth(1, 90);
    list.SaveColumnPlacement("", kEntry);
    EXPECT_EQ(Stored(), "(2) 2 90 0 150 (1) 1 100 ");

    CListCtrlEx fresh;
    Make(fresh);
    fresh.LoadColumnPlacement("", kEntry);
    EXPECT_EQ(Shown(fresh), "C2:90 C0:150 ");
    fresh.SaveColumnPlacement("", "Check");
    EXPECT_EQ(Stored("Check"), "(2) 2 90 0 150 (1) 1 100 ");
    fresh.InsertItem(0, "first");
    EXPECT_TRUE(fresh.SetItemText(0, 2, "third"));
    EXPECT_STREQ(fresh.GetItemText(0, 1), "third");

    // Showing column 1 again through the order operation, placed last.
    int ids[] = {2, 0, 1}, visible[] = {1, 1, 1}, hideAll[] = {0, 0, 0};
    EXPECT_EQ(fresh.SetOrderVisibleArray(3, ids, visible), 1);
    EXPECT_EQ(Shown(fresh), "C2:90 C0:150 C1:100 ");
    // Column 0 cannot be hidden this way; the display order then stays.
    EXPECT_EQ(fresh.SetOrderVisibleArray(3, ids, hideAll), 1);
    EXPECT_EQ(Shown(fresh), "C0:150 ");
    EXPECT_EQ(fresh.SetOrderVisibleArray(2, ids, visible), 0);
    EXPECT_EQ(fresh.GetOrderVisibleArray(ids, visible, 2), 0);
}

TEST_F(ListFixture, MalformedTextsChangeNothing)
{
    const char* const kDefault = "C0:150 C1:100 C2:100 ";
    const struct {
        const char* text;
        const char* shown;
    } rows[] = {
        {"", kDefault},                                     // absent: the default layout
        {"3) 0 150 1 100 2 100 (0) ", kDefault},            // count not in parentheses
        {"(3) 0 150 1 100 9 100 (0) ", kDefault},           // an id the control lacks
        {"(3) 0 150 1 100 2 ", kDefault},                   // hidden group missing
        {"(3) 0 150 1 100 2 100 (1) ", kDefault},           // a pair missing
        {"(3) 0 150 1 1x0 2 100 (0) ", kDefault},           // a width that is no number
        {"(2) 0 150 1 100 (0) ", kDefault},                 // column 2 not named
        {"(2) 0 150 0 100 (1) 2 100 ", kDefault},           // column 0 twice
        {"(-1) (3) 0 150 1 100 2 100 ", kDefault},
        {"(0x2)  2 80   0 120 (01) 1 70", "C2:80 C0:120 "},   // counts read as "%i"; runs of blanks are one
    };
    for (const auto& row : rows) {
        CListCtrlEx list;
        Make(list);
        m_app.WriteProfileString("", kEntry, *row.text ? row.text : nullptr);
        list.LoadColumnPlacement("", kEntry);
        EXPECT_EQ(Shown(list), row.shown) << row.text;
        list.SaveColumnPlacement("", "Check");
        if (row.shown == kDefault) {   // the records as they were
            EXPECT_EQ(Stored("Check"), "(3) 0 150 1 100 2 100 (0) ") << row.text;
        }
        list.DestroyWindow();
    }
}

TEST_F(ListFixture, ChooserKeepsColumnZeroWrapsAndApplies)
{
    CListCtrlEx list;
    Make(list);
    ASSERT_EQ(list.RemoveColumn(2), 1);
    CShowColumnsDlg dlg;
    dlg.SetTargetListCtrl(&list);

    // Logs the items as "label+" (checked) or "label-", the selection "*".
    std::vector<std::string> log;
    auto logItems = [&log](HWND lv) {
        std::string out;
        for (int i = 0; i < ListView_GetItemCount(lv); ++i) {
            char text[32] = {};
            ListView_GetItemText(lv, i, 0, text, sizeof text);
            out += std::string(text) + (ListView_GetCheckState(lv, i) ? "+" : "-")
                + (ListView_GetItemState(lv, i, LVIS_SELECTED) ? "* " : " ");
        }
        log.push_back(out);
    };
    const std::string title = Ansi(u8"列の表示");
    EXPECT_EQ(RunModal(dlg, {
        On(title, [&](HWND h) {
            logItems(::GetDlgItem(h, 6002));
            ListView_SetCheckState(::GetDlgItem(h, 6002), 0, FALSE);   // column 0: set again at once
            logItems(::GetDlgItem(h, 6002));
            Click(h, 6003);   // Up on the first: to the bottom
        }),
        On(title, [&](HWND h) {
            logItems(::GetDlgItem(h, 6002));
            Click(h, 6004);   // Down on the last: to the top
        }),
        On(title, [&](HWND h) {
            logItems(::GetDlgItem(h, 6002));
            ListView_SetCheckState(::GetDlgItem(h, 6002), 1, FALSE);   // hide C1
            ListView_SetCheckState(::GetDlgItem(h, 6002), 2, TRUE);    // show C2
            Click(h, 6004);   // C0 down one: C1 C0 C2
        }),
        On(title, [](HWND h) { Click(h, IDOK); }),
    }), IDOK);
    EXPECT_EQ(log, (std::vector<std::string>{"C0+* C1+ C2- ", "C0+* C1+ C2- ", "C1+ C2- C0+* ", "C0+* C1+ C2- "}));
    EXPECT_EQ(Shown(list), "C0:150 C2:100 ");
    list.SaveColumnPlacement("", kEntry);
    EXPECT_EQ(Stored(), "(2) 0 150 2 100 (1) 1 100 ");

    // Cancel changes nothing.
    EXPECT_EQ(RunModal(dlg, {On(title, [](HWND h) {
                  ListView_SetCheckState(::GetDlgItem(h, 6002), 1, FALSE);
                  Click(h, IDCANCEL);
              })}),
              IDCANCEL);
    EXPECT_EQ(Shown(list), "C0:150 C2:100 ");
}

TEST_F(ListFixture, ContextMenuGraysHidingOnTheFirstHeadingAndRemembersTheColumn)
{
    CListCtrlEx list;
    Make(list);
    ::ShowWindow(m_hParent, SW_SHOWNOACTIVATE);
    list.ShowWindow(SW_SHOW);
    ASSERT_EQ(list.RemoveColumn(1), 1);   // C2 is now the second heading
    CWnd owner;
    owner.Attach(m_hParent);
    for (int item : {0, 1}) {
        CRect r;
        list.GetHeaderCtrl()->GetItemRect(item, &r);
        POINT pt = {r.left + 5, r.top + 3};
        ::ClientToScreen(list.GetHeaderCtrl()->m_hWnd, &pt);
        // While the menu is open: the hide entry's state, then close it.
        UINT hideState = 0xFFFF;
        Script script({[&hideState](HWND) {
            HWND menu = ::FindWindowA("#32768", nullptr);
            if (!menu)
                return false;
            hideState = ::GetMenuState(reinterpret_cast<HMENU>(::SendMessageA(menu, MN_GETHMENU, 0, 0)), 6012,
                                       MF_BYCOMMAND);
            return ::EndMenu() != FALSE;
        }});
        // The menu texts are string numbers; these two are the library's.
        list.DoContextMenu(CPoint(pt.x, pt.y), 6011, 6012, &owner);
        ASSERT_NE(hideState, 0xFFFFu);
        EXPECT_EQ((hideState & MF_GRAYED) != 0, item == 0);
        EXPECT_EQ(list.GetLastSelectedColumn(), item ? 2 : 0);   // by id, not by position
    }
    owner.Detach();
}
