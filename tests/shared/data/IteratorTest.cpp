#include "Iterator.h"
#include "TessalyTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

using namespace NorvaneCommon;

namespace {

struct MemoPlan {
    std::string text;
    DWORD id;
    DWORD category;
    bool deleted;
};

void Fill(CTessalyTable& table, const std::vector<MemoPlan>& memos)
{
    for (const MemoPlan& m : memos) {
        CTessalyRecord* p = new CTessalyRecord;
        p->SetMemo(m.text.c_str());
        p->SetID(m.id);
        p->SetCategory(m.category);
        p->SetDeleted(m.deleted ? 1 : 0);
        table.AppendRecord(p);
    }
}

// The memo texts in the order FindFirst/FindNext hand the records out.
std::vector<std::string> Walk(CGenIterator& it, int bSkipDeleted = 0)
{
    std::vector<std::string> texts;
    CGenRecord* p = nullptr;
    for (LONG r = it.FindFirst(p, bSkipDeleted); r == 0; r = it.FindNext(p, bSkipDeleted))
        texts.push_back(static_cast<CTessalyRecord*>(p)->GetMemo().GetString());
    EXPECT_EQ(nullptr, p);
    return texts;
}

typedef std::vector<std::string> Texts;

// Exposes the descending comparator.
class ReverseIterator : public CTessalyIterator {
public:
    using CTessalyIterator::CTessalyIterator;
    void SortDescending()
    {
        SortByAlphabetical();
        std::qsort(m_pSortKeys, static_cast<size_t>(m_nCount), sizeof(CSortKey), QRevSortCmp);
    }
};

} // namespace

// Scalar keys compare signed; text keys in character order (a half-width
// katakana before every double-byte character, though its byte is larger),
// clamped to the sign; composite keys member by member, as far as both go;
// keys of different kinds by kind.
TEST(SortKeys, Ordering)
{
    CIntKey lo(INT_MIN), hi(INT_MAX), minus(-1), one(1), seven(7);
    CLongKey llo(-5), lhi(3);
    CStringKey a("A"), kana("\xB1"), hira("\x82\xA0"), kata("\x83\x41"), z("zzzz");
    CCompositeKey ab, ac, shorter;
    ab.AddKey(new CIntKey(1));
    ab.AddKey(new CStringKey("b"));
    ac.AddKey(new CIntKey(1));
    ac.AddKey(new CStringKey("c"));
    shorter.AddKey(new CIntKey(1));
    const struct {
        const CKey *left, *right;
        int result;
    } cases[] = {{&lo, &hi, -1},    {&hi, &lo, 1},     {&hi, &hi, 0},   {&minus, &one, -1}, {&llo, &lhi, -1},
                 {&lhi, &llo, 1},   {&a, &hira, -1},   {&kana, &kata, -1}, {&kata, &kana, 1}, {&a, &z, -1},
                 {&z, &a, 1},       {&ab, &ac, -1},    {&ac, &ab, 1},   {&ab, &ab, 0},      {&shorter, &ab, -1},
                 {&ab, &shorter, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(c.result, c.left->Compare(c.right)) << (&c - cases);
    EXPECT_EQ(-a.Compare(&seven), seven.Compare(&a));
    EXPECT_NE(0, seven.Compare(&a));
    EXPECT_NE(0, ab.Compare(&seven));
}

// Deleted records are passed over only when asked, at the end of the view
// too; a find continues from where it stopped; the current row is the row of
// the last record found; rows outside the view give nothing.
TEST(Iterator, FindingSkipsDeletedOnlyWhenAskedAndTracksTheRow)
{
    CTessalyTable table;
    Fill(table, {{"a", 103, 2, false}, {"b", 101, 1, true}, {"c", 104, 2, false}, {"d", 100, 1, false},
                 {"e", 102, 1, true}});
    CGenIterator it(table);
    it.SortByRecordIndex();
    EXPECT_EQ((Texts{"a", "c", "d"}), Walk(it, 1));
    EXPECT_EQ((Texts{"a", "b", "c", "d", "e"}), Walk(it, 0));

    CGenRecord* p = nullptr;
    ASSERT_EQ(0, it.FindFirst(p, 1));
    EXPECT_EQ(0, it.GetCurrentRowPosition());
    ASSERT_EQ(0, it.FindNext(p, 1));   // row 1 is deleted and skipped
    EXPECT_EQ(2, it.GetCurrentRowPosition());
    EXPECT_EQ(-1, it.FindByRecordIndex(1, p, 1));
    EXPECT_EQ(nullptr, p);
    ASSERT_EQ(0, it.FindByRecordIndex(1, p, 0));
    EXPECT_EQ(1u, p->GetIndex());
    ASSERT_EQ(0, it.FindByRecordIndex(3, p, 1));
    EXPECT_EQ(3, it.GetCurrentRowPosition());
    CGenRecord* q = nullptr;
    ASSERT_EQ(0, it.GetAt(q, it.GetCurrentRowPosition()));
    EXPECT_EQ(p, q);
    for (LONG outside : {5, -1}) {
        EXPECT_EQ(-1, it.GetAt(q, outside));
        EXPECT_EQ(nullptr, q);
    }

    it.SortByRecordId();
    EXPECT_EQ((Texts{"d", "b", "e", "a", "c"}), Walk(it));
    EXPECT_EQ(-1, it.FindByRecordId(101, p, 1));
    ASSERT_EQ(0, it.FindByRecordId(104, p, 1));
    EXPECT_EQ(2u, p->GetIndex());
    EXPECT_EQ(4, it.GetCurrentRowPosition());
    EXPECT_EQ(-1, it.FindByRecordId(999, p, 0));
    EXPECT_EQ(nullptr, p);

    // By category: equal categories in either order; the first match in
    // sorted order, and FindNext goes on after it.
    it.SortByCatId();
    Texts order = Walk(it);
    ASSERT_EQ(5u, order.size());
    std::sort(order.begin(), order.begin() + 3);
    std::sort(order.begin() + 3, order.end());
    EXPECT_EQ((Texts{"b", "d", "e", "a", "c"}), order);
    ASSERT_EQ(0, it.FindByCatId(1, p, 1));
    EXPECT_EQ(3u, p->GetIndex());   // records 1 and 4 have category 1 too, but are deleted
    ASSERT_EQ(0, it.FindByCatId(2, p, 0));
    const DWORD first = p->GetIndex();
    ASSERT_EQ(0, it.FindNext(p, 0));
    EXPECT_EQ(2u, p->GetCategory());
    EXPECT_NE(first, p->GetIndex());
    EXPECT_EQ(-1, it.FindNext(p, 0));
}

// Character order, ascending and descending: "A" (0x41) before lead 0x82,
// and the half-width 0xB1 before every double-byte character, though its
// byte is larger.
TEST(Iterator, AlphabeticalIsCharacterOrder)
{
    const Texts sorted = {"", "A", "a", "a\r\nb", "\xB1", "\x82\xA0", "\x82\xA0" "b", "\x82\xA0\x82\xA0", "\x83\x41"};
    CTessalyTable table;
    for (int i : {8, 5, 1, 4, 0, 6, 7, 3, 2})
        Fill(table, {{sorted[i], 0, 0, false}});
    ReverseIterator it(table);
    EXPECT_EQ(0, it.SortByAlphabetical());
    EXPECT_EQ(sorted, Walk(it));
    it.SortDescending();
    EXPECT_EQ(Texts(sorted.rbegin(), sorted.rend()), Walk(it));
}

// An empty view finds nothing. The view is a snapshot until the next sort;
// sorting again (and switching kinds of key) replaces every key, and the
// leak checker reports any key of the old view left behind.
TEST(Iterator, EmptyViewAndResorting)
{
    CTessalyTable table;
    CTessalyIterator it(table);
    CGenRecord* p = reinterpret_cast<CGenRecord*>(&table);   // must be overwritten
    EXPECT_EQ(-1, it.FindFirst(p, 0));   // before any sort
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(0, it.SortByRecordIndex() | it.SortByRecordId() | it.SortByCatId() | it.SortByAlphabetical());
    EXPECT_EQ(0, it.GetCount());
    p = reinterpret_cast<CGenRecord*>(&table);
    EXPECT_EQ(-1, it.FindByRecordIndex(0, p, 1));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(-1, it.GetAt(p, 0));

    Fill(table, {{"m", 0, 0, false}, {"c", 0, 0, false}});
    it.SortByAlphabetical();
    EXPECT_EQ((Texts{"c", "m"}), Walk(it));
    Fill(table, {{"a", 0, 0, false}});
    EXPECT_EQ(2, it.GetCount());
    EXPECT_EQ((Texts{"c", "m"}), Walk(it));
    it.SortByAlphabetical();
    EXPECT_EQ((Texts{"a", "c", "m"}), Walk(it));
    it.SortByRecordIndex();
    EXPECT_EQ((Texts{"m", "c", "a"}), Walk(it));
    Fill(table, {{"b", 0, 0, false}});
    it.SortByAlphabetical();
    EXPECT_EQ((Texts{"a", "b", "c", "m"}), Walk(it));
}
