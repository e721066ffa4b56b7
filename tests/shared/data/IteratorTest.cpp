#include "Iterator.h"
#include "TessalyTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <mbctype.h>
#include <mbstring.h>
#endif

using namespace NorvaneCommon;

namespace {

// The reference order: under Windows the runtime's own _mbscmp in code
// page 932, elsewhere our rendering of it.
int ReferenceCompare(const std::string& a, const std::string& b)
{
#if defined(_WIN32)
    static const bool selected = _setmbcp(932) == 0;
    EXPECT_TRUE(selected);
    return _mbscmp(reinterpret_cast<const unsigned char*>(a.c_str()), reinterpret_cast<const unsigned char*>(b.c_str()));
#else
    return afx::MbsCompare932(a.c_str(), b.c_str());
#endif
}

struct MemoSpec {
    const char* text;
    DWORD id;
    DWORD category;
    bool deleted;
};

CTessalyRecord* NewMemo(const char* text, DWORD id = 0, DWORD category = 0, bool deleted = false)
{
    CTessalyRecord* p = new CTessalyRecord;
    p->SetMemo(text);
    p->SetID(id);
    p->SetCategory(category);
    p->SetDeleted(deleted ? 1 : 0);
    return p;
}

void Fill(CTessalyTable& table, const std::vector<MemoSpec>& memos)
{
    for (const MemoSpec& m : memos)
        table.AppendRecord(NewMemo(m.text, m.id, m.category, m.deleted));
}

// Record indexes in the order FindFirst/FindNext hand them out.
std::vector<int> Walk(CGenIterator& it, int bSkipDeleted)
{
    std::vector<int> order;
    CGenRecord* p = nullptr;
    for (LONG r = it.FindFirst(p, bSkipDeleted); r == 0; r = it.FindNext(p, bSkipDeleted))
        order.push_back(static_cast<int>(p->GetIndex()));
    EXPECT_EQ(nullptr, p);
    return order;
}

std::vector<std::string> WalkTexts(CGenIterator& it)
{
    std::vector<std::string> texts;
    CGenRecord* p = nullptr;
    for (LONG r = it.FindFirst(p, 0); r == 0; r = it.FindNext(p, 0))
        texts.push_back(static_cast<CTessalyRecord*>(p)->GetMemo().GetString());
    return texts;
}

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
    CIntKey lo(INT_MIN), hi(INT_MAX), minus(-1), one(1);
    CLongKey llo(-5), lhi(3);
    CStringKey a("A"), kana("\xB1"), hira("\x82\xA0"), kata("\x83\x41"), z("zzzz");
    const struct {
        const CKey *left, *right;
        int result;
    } cases[] = {{&lo, &hi, -1}, {&hi, &lo, 1}, {&hi, &hi, 0}, {&minus, &one, -1}, {&llo, &lhi, -1},
                 {&lhi, &llo, 1}, {&a, &hira, -1}, {&kana, &kata, -1}, {&kata, &kana, 1}, {&a, &z, -1},
                 {&z, &a, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(c.result, c.left->Compare(c.right)) << (&c - cases);

    CString text("abc");
    CStringKey copy(text);
    text = "zzz";
    EXPECT_STREQ("abc", copy.GetValue());   // the key keeps its own copy

    CCompositeKey ab, ac, shorter;
    ab.AddKey(new CIntKey(1));
    ab.AddKey(new CStringKey("b"));
    ac.AddKey(new CIntKey(1));
    ac.AddKey(new CStringKey("c"));
    shorter.AddKey(new CIntKey(1));
    EXPECT_EQ(-1, ab.Compare(&ac));
    EXPECT_EQ(1, ac.Compare(&ab));
    EXPECT_EQ(0, ab.Compare(&ab));
    EXPECT_EQ(-1, shorter.Compare(&ab));
    EXPECT_EQ(1, ab.Compare(&shorter));
    CIntKey i(7);
    CStringKey x("x");
    EXPECT_EQ(-x.Compare(&i), i.Compare(&x));
    EXPECT_NE(0, i.Compare(&x));
    EXPECT_NE(0, ab.Compare(&i));
}

TEST(Iterator, EmptyTable)
{
    CTessalyTable table;
    CTessalyIterator it(table);
    CGenRecord* p = reinterpret_cast<CGenRecord*>(&table);   // must be overwritten

    EXPECT_EQ(-1, it.FindFirst(p, 0));   // before any sort
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(0, it.SortByRecordIndex() | it.SortByRecordId() | it.SortByCatId() | it.SortByAlphabetical());
    EXPECT_EQ(0, it.GetCount());
    p = reinterpret_cast<CGenRecord*>(&table);
    EXPECT_EQ(-1, it.FindFirst(p, 1));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(-1, it.FindByRecordIndex(0, p, 0));
    EXPECT_EQ(-1, it.GetAt(p, 0));
    EXPECT_EQ(nullptr, p);
}

// Deleted records are passed over only when asked, at the end of the view
// too; a find continues from where it stopped; the current row is the row of
// the last record found.
TEST(Iterator, FindingSkipsDeletedOnlyWhenAskedAndTracksTheRow)
{
    CTessalyTable table;
    Fill(table, {{"a", 100, 2, false}, {"b", 101, 1, true}, {"c", 102, 2, false}, {"d", 103, 1, false},
                 {"e", 104, 1, true}});
    CGenIterator it(table);
    EXPECT_EQ(-1, it.GetCurrentRowPosition());   // nothing found yet
    it.SortByRecordIndex();
    EXPECT_EQ((std::vector<int>{0, 2, 3}), Walk(it, 1));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), Walk(it, 0));

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
    EXPECT_EQ(-1, it.GetAt(q, 5));   // past the view
    EXPECT_EQ(nullptr, q);
    EXPECT_EQ(-1, it.GetAt(q, -1));

    EXPECT_EQ(-1, it.FindByRecordId(101, p, 1));
    ASSERT_EQ(0, it.FindByRecordId(102, p, 1));
    EXPECT_EQ(2u, p->GetIndex());
    EXPECT_EQ(-1, it.FindByRecordId(999, p, 0));
    EXPECT_EQ(nullptr, p);

    // By category: the first match in sorted order; FindNext goes on after it.
    it.SortByCatId();
    ASSERT_EQ(0, it.FindByCatId(1, p, 1));
    EXPECT_EQ(3u, p->GetIndex());   // records 1 and 4 have category 1 too, but are deleted
    ASSERT_EQ(0, it.FindByCatId(2, p, 0));
    const DWORD first = p->GetIndex();
    ASSERT_EQ(0, it.FindNext(p, 0));
    EXPECT_EQ(2u, p->GetCategory());
    EXPECT_NE(first, p->GetIndex());
    EXPECT_EQ(-1, it.FindNext(p, 0));
}

TEST(Iterator, SortsByIdAndCategory)
{
    CTessalyTable table;
    Fill(table, {{"a", 30, 3, false}, {"b", 10, 1, false}, {"c", 20, 0, false}, {"d", 5, 1, false}});
    CGenIterator it(table);

    it.SortByRecordId();
    EXPECT_EQ((std::vector<int>{3, 1, 2, 0}), Walk(it, 0));
    it.SortByRecordIndex();
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), Walk(it, 0));

    it.SortByCatId();
    std::vector<int> order = Walk(it, 0);
    ASSERT_EQ(4u, order.size());
    EXPECT_EQ(2, order[0]);
    EXPECT_EQ(0, order[3]);
    // Equal categories may come in either order, but both must be there.
    std::vector<int> middle(order.begin() + 1, order.begin() + 3);
    std::sort(middle.begin(), middle.end());
    EXPECT_EQ((std::vector<int>{1, 3}), middle);
}

TEST(Iterator, AlphabeticalIsCharacterOrder)
{
    CTessalyTable table;
    Fill(table, {{"\x83\x41", 0, 0, false},       // katakana A, lead 0x83
                 {"\x82\xA0", 0, 0, false},       // hiragana a, lead 0x82
                 {"A", 0, 0, false},
                 {"\xB1", 0, 0, false},           // half-width katakana
                 {"", 0, 0, false},
                 {"\x82\xA0" "b", 0, 0, false},
                 {"\x82\xA0\x82\xA0", 0, 0, false},
                 {"a\r\nb", 0, 0, false},
                 {"a", 0, 0, false}});
    CTessalyIterator it(table);
    EXPECT_EQ(0, it.SortByAlphabetical());

    // Character order: "A" (0x41) before lead 0x82, and the half-width 0xB1
    // before every double-byte character, though its byte is larger.
    const std::vector<std::string> expected = {"",         "A",        "a",
                                               "a\r\nb",   "\xB1",     "\x82\xA0",
                                               "\x82\xA0" "b", "\x82\xA0\x82\xA0", "\x83\x41"};
    EXPECT_EQ(expected, WalkTexts(it));
}

TEST(Iterator, AlphabeticalMatchesReferenceOrderAndDescendingReverses)
{
    // Random Shift-JIS texts, equal ones included: the view must be a
    // permutation of the records in the runtime's multibyte order.
    std::mt19937 rng(1234);
    auto byte = [&](int lo, int hi) { return static_cast<char>(std::uniform_int_distribution<int>(lo, hi)(rng)); };
    CTessalyTable table;
    std::vector<std::string> texts;
    for (int i = 0; i < 500; ++i) {
        std::string s;
        const int n = std::uniform_int_distribution<int>(0, 6)(rng);
        for (int k = 0; k < n; ++k) {
            switch (std::uniform_int_distribution<int>(0, 2)(rng)) {
            case 0: s += byte(0x41, 0x43); break;
            case 1: s += byte(0xB1, 0xB2); break;
            default:
                s += byte(0x82, 0x83);
                s += (rng() & 1) ? '\x40' : '\xA0';
                break;
            }
        }
        texts.push_back(s);
        table.AppendRecord(NewMemo(s.c_str()));
    }

    ReverseIterator it(table);
    it.SortByAlphabetical();
    std::vector<std::string> expected = texts;
    std::sort(expected.begin(), expected.end(),
              [](const std::string& a, const std::string& b) { return ReferenceCompare(a, b) < 0; });
    EXPECT_EQ(expected, WalkTexts(it));

    std::vector<int> seen = Walk(it, 0);
    std::sort(seen.begin(), seen.end());
    for (int i = 0; i < static_cast<int>(seen.size()); ++i)
        ASSERT_EQ(i, seen[i]);

    it.SortDescending();
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(expected, WalkTexts(it));
}

TEST(Iterator, ResortSeesAppendedRecordsAndReplacesView)
{
    CTessalyTable table;
    Fill(table, {{"m", 0, 0, false}, {"c", 0, 0, false}});
    CTessalyIterator it(table);
    it.SortByAlphabetical();
    EXPECT_EQ((std::vector<std::string>{"c", "m"}), WalkTexts(it));

    // The view is a snapshot until the next sort.
    table.AppendRecord(NewMemo("a"));
    EXPECT_EQ(2, it.GetCount());
    EXPECT_EQ((std::vector<std::string>{"c", "m"}), WalkTexts(it));

    // Sorting again (and switching kinds of key) replaces every key; the
    // leak checker reports any key of the old view left behind.
    it.SortByAlphabetical();
    EXPECT_EQ((std::vector<std::string>{"a", "c", "m"}), WalkTexts(it));
    it.SortByRecordIndex();
    EXPECT_EQ((std::vector<int>{0, 1, 2}), Walk(it, 0));
    table.AppendRecord(NewMemo("b"));
    it.SortByAlphabetical();
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "m"}), WalkTexts(it));
}
