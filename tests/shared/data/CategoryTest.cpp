#include "Category.h"
#include "TessalyTable.h"
#include "shared/data/DataFileBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace NorvaneCommon;
using namespace testdata;

namespace {

// Shift-JIS: "表" ends in 0x5C, "＝" is 0x81 0x81 (its trail byte is also a lead byte).
const std::string kHyo = "\x95\x5C";
const std::string kEq = "\x81\x81";

std::string Repeat(const std::string& s, int n)
{
    std::string out;
    while (n-- > 0)
        out += s;
    return out;
}

Bytes BlockOf(const CategorySlot slots[16], std::uint16_t renamed = 0, std::uint8_t lastID = 0)
{
    return DataFileBuilder::CategoryBlock(renamed, slots, lastID);
}

void ExtractFrom(CCategoryMgr& mgr, Bytes block)
{
    mgr.Extract(block.data(), static_cast<DWORD>(block.size()));
}

Bytes CompactOf(CCategoryMgr& mgr)
{
    Bytes out(300, 0xCC);   // stale bytes everywhere
    DWORD length = static_cast<DWORD>(out.size());
    mgr.Compact(out.data(), &length);
    EXPECT_EQ(276u, length);
    EXPECT_EQ(0xCC, out[276]);   // nothing past the block
    out.resize(276);
    return out;
}

std::vector<DWORD> WalkIndexes(CCategoryMgr& mgr)
{
    std::vector<DWORD> seen;
    CCategory* cat = nullptr;
    CatError err = mgr.FindFirst(cat);
    while (err == CatErrNone) {
        seen.push_back(cat->GetIndex());
        err = mgr.FindNext(cat);
    }
    EXPECT_EQ(CatErrNotFound, err);
    return seen;
}

} // namespace

TEST(CategoryMgr, ExtractReadsUsedSlotsOnly)
{
    CategorySlot slots[16];
    slots[0] = {"Unfiled", 0};
    slots[1] = {"Business", 1};
    slots[3] = {"", 99};              // an ID without a name is no category
    slots[5] = {kHyo + "x", 200};
    slots[15] = {"Personal", 17};
    CCategoryMgr mgr;
    // Stored renamed bits are the handheld's business, not ours.
    ExtractFrom(mgr, BlockOf(slots, 0xFFFF, 33));

    EXPECT_EQ(4, mgr.GetCount());
    EXPECT_EQ((std::vector<DWORD>{0, 1, 5, 15}), WalkIndexes(mgr));
    CCategory* cat = nullptr;
    ASSERT_EQ(CatErrNone, mgr.FindID(200, cat));
    EXPECT_EQ(5u, cat->GetIndex());
    EXPECT_EQ(kHyo + "x", std::string(cat->GetName().GetString()));
    EXPECT_EQ(CatErrNotFound, mgr.FindID(99, cat));
    for (int i : {0, 1, 5, 15}) {
        ASSERT_EQ(CatErrNone, mgr.FindIndex(i, cat));
        EXPECT_FALSE(cat->IsDirty()) << i;
    }
    for (int absent : {3, 16, -1})
        EXPECT_EQ(CatErrNotFound, mgr.FindIndex(absent, cat)) << absent;

    // Names make the categories: IDs alone leave the manager empty.
    CategorySlot idsOnly[16];
    for (int i = 0; i < 16; ++i)
        idsOnly[i].id = static_cast<std::uint8_t>(i + 1);
    CCategoryMgr empty;
    ExtractFrom(empty, BlockOf(idsOnly));
    EXPECT_EQ(0, empty.GetCount());
    EXPECT_EQ(CatErrEmpty, empty.FindFirst(cat));
    EXPECT_EQ(CatErrEmpty, empty.FindNext(cat));
    EXPECT_EQ(Bytes(276, 0), CompactOf(empty));
}

TEST(CategoryMgr, CompactCutsNamesAtFifteenBytesOnCharacterBoundaries)
{
    struct {
        std::string name;
        std::string stored;
    } const cases[] = {
        {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNO"},
        {"ABCDEFGHIJKLMN" + kHyo, "ABCDEFGHIJKLMN"},              // 15th byte would be a lead byte
        {"ABCDEFGHIJKLM" + kHyo, "ABCDEFGHIJKLM" + kHyo},         // ends exactly at 15
        {Repeat(kHyo, 8), Repeat(kHyo, 7)},
        {"a" + Repeat(kEq, 7), "a" + Repeat(kEq, 7)},             // byte 14 is a trail byte, not a lead
        {"a" + Repeat(kEq, 8), "a" + Repeat(kEq, 7)},
        {Repeat(kEq, 7) + "ab", Repeat(kEq, 7) + "a"},
        {"exactly15bytes!", "exactly15bytes!"},
    };
    CCategoryMgr mgr;
    int index = 0;
    CategorySlot expected[16];
    for (const auto& c : cases) {
        CCategory cat;
        cat.SetName(CString(c.name.c_str()));
        ASSERT_EQ(CatErrNone, mgr.Add(&cat));
        ASSERT_EQ(static_cast<DWORD>(index), cat.GetIndex());
        expected[index] = {c.stored, static_cast<std::uint8_t>(128 + index)};
        ++index;
    }
    EXPECT_EQ(BlockOf(expected), CompactOf(mgr));
}

TEST(CategoryMgr, CompactWritesIDsAndRenamedWordBigEndian)
{
    CategorySlot slots[16];
    slots[0] = {"Unfiled", 0};
    slots[5] = {"Two hundred", 200};
    slots[9] = {"Nine", 9};
    slots[15] = {"Last", 255};
    CCategoryMgr mgr;
    ExtractFrom(mgr, BlockOf(slots, 0x0000, 77));

    // Read and written back unchanged, except bytes 274-275 which stay zero.
    EXPECT_EQ(BlockOf(slots, 0, 0), CompactOf(mgr));

    CString newName("Renamed");
    EXPECT_EQ(CatErrNone, mgr.Rename(9, newName));
    CCategory* cat = nullptr;
    ASSERT_EQ(CatErrNone, mgr.FindIndex(9, cat));
    EXPECT_TRUE(cat->IsDirty());
    slots[9].name = "Renamed";
    Bytes block = CompactOf(mgr);
    EXPECT_EQ(BlockOf(slots, 1 << 9, 0), block);
    EXPECT_EQ(0x02, block[0]);
    EXPECT_EQ(0x00, block[1]);

    EXPECT_EQ(CatErrNone, mgr.Rename(0, newName));
    EXPECT_EQ(CatErrNone, mgr.Rename(15, newName));
    block = CompactOf(mgr);
    EXPECT_EQ(0x82, block[0]);
    EXPECT_EQ(0x01, block[1]);

    // Only the low byte of an ID fits the block.
    ASSERT_EQ(CatErrNone, mgr.FindIndex(5, cat));
    cat->SetID(0x1C8);
    EXPECT_EQ(0xC8, CompactOf(mgr)[258 + 5]);

    CString missing("x");
    EXPECT_EQ(CatErrNotFound, mgr.Rename(3, missing));
}

// Add takes the lowest free index, IDs count from 128, the manager keeps its
// own copy; on a full list it changes nothing and uses no ID.
TEST(CategoryMgr, AddTakesLowestFreeIndexAndCountsIDsFrom128)
{
    CategorySlot slots[16];
    slots[0] = {"Unfiled", 0};
    slots[1] = {"A", 1};
    slots[5] = {"B", 2};
    CCategoryMgr mgr;
    ExtractFrom(mgr, BlockOf(slots));
    CCategory first;
    first.SetName(CString("a/b:c"));
    first.SetDirty(1);
    ASSERT_EQ(CatErrNone, mgr.Add(&first));
    EXPECT_EQ(2u, first.GetIndex());
    EXPECT_EQ(128u, first.GetID());
    EXPECT_STREQ("a_b_c", first.GetFileName());
    first.SetName(CString("changed"));
    CCategory* cat = nullptr;
    ASSERT_EQ(CatErrNone, mgr.FindIndex(2, cat));
    EXPECT_STREQ("a/b:c", cat->GetName());
    EXPECT_TRUE(cat->IsDirty());

    std::vector<DWORD> indexes;
    while (mgr.GetCount() < 16) {
        CCategory next;
        ASSERT_EQ(CatErrNone, mgr.Add(&next));
        indexes.push_back(next.GetIndex());
    }
    EXPECT_EQ((std::vector<DWORD>{3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}), indexes);
    const Bytes full = CompactOf(mgr);
    CCategory extra;
    extra.SetIndex(99);
    extra.SetID(98);
    EXPECT_EQ(CatErrFull, mgr.Add(&extra));
    EXPECT_EQ(99u, extra.GetIndex());
    EXPECT_EQ(98u, extra.GetID());
    EXPECT_EQ(full, CompactOf(mgr));
    ASSERT_EQ(CatErrNone, mgr.Delete(7));
    ASSERT_EQ(CatErrNone, mgr.Add(&extra));
    EXPECT_EQ(7u, extra.GetIndex());
    EXPECT_EQ(141u, extra.GetID());   // 128 to 140 went to the thirteen added before
}

TEST(CategoryMgr, DeleteAndFind)
{
    CategorySlot slots[16];
    slots[15] = {"Fifteen", 150};
    slots[0] = {"Unfiled", 0};
    slots[7] = {"Seven", 70};
    slots[3] = {"Three", 30};
    slots[4] = {"three", 40};
    CCategoryMgr mgr;
    ExtractFrom(mgr, BlockOf(slots));

    EXPECT_EQ((std::vector<DWORD>{0, 3, 4, 7, 15}), WalkIndexes(mgr));
    CCategory* cat = nullptr;
    EXPECT_EQ(CatErrNotFound, mgr.FindNext(cat));   // stays at the end

    CString three("Three"), lower("three"), none("THREE");
    ASSERT_EQ(CatErrNone, mgr.FindName(three, cat));
    EXPECT_EQ(3u, cat->GetIndex());
    ASSERT_EQ(CatErrNone, mgr.FindName(lower, cat));
    EXPECT_EQ(4u, cat->GetIndex());
    EXPECT_EQ(CatErrNotFound, mgr.FindName(none, cat));
    ASSERT_EQ(CatErrNone, mgr.FindID(150, cat));
    EXPECT_EQ(15u, cat->GetIndex());

    for (int absent : {1, 16, -1}) {
        EXPECT_EQ(CatErrNotFound, mgr.Delete(absent)) << absent;
        EXPECT_EQ(5, mgr.GetCount());
    }
    ASSERT_EQ(CatErrNone, mgr.Delete(7));
    EXPECT_EQ(CatErrNotFound, mgr.FindIndex(7, cat));
    EXPECT_EQ(CatErrNotFound, mgr.FindID(70, cat));
    EXPECT_EQ((std::vector<DWORD>{0, 3, 4, 15}), WalkIndexes(mgr));
    slots[7] = CategorySlot();
    EXPECT_EQ(BlockOf(slots), CompactOf(mgr));   // the slot is cleared, ID too
}

TEST(CategoryMgr, FileNamesReplaceReservedCharactersButKeepDoubleByteCharacters)
{
    const std::string names[][2] = {{"a\"*+,./:;<", "a_________"},
                                    {"=>?[\\]^|z", "________z"},
                                    {"\x83\x5C" + kHyo, "\x83\x5C" + kHyo},   // trail bytes 0x5C are no backslashes
                                    {"a b-c_d(e)", "a b-c_d(e)"}};
    CategorySlot slots[16];
    for (int i = 0; i < 4; ++i)
        slots[i + 1] = {names[i][0], static_cast<std::uint8_t>(i + 1)};
    CCategoryMgr mgr;
    ExtractFrom(mgr, BlockOf(slots));
    for (int i = 0; i < 4; ++i) {
        CCategory* cat = nullptr;
        ASSERT_EQ(CatErrNone, mgr.FindIndex(i + 1, cat));
        EXPECT_EQ(names[i][1], std::string(cat->GetFileName().GetString())) << i;
    }
}

// The table hands the application-info data to the manager and writes the
// block back only when the manager was asked for.
TEST(CategoryMgr, ThroughTheTable)
{
    TempDir dir;
    DataFileBuilder b;
    b.SetCategory(0, "Unfiled", 0);
    b.SetCategory(1, "Work", 1);
    b.SetCategory(2, "Home", 200);
    b.renamedWord = 0x0006;
    b.lastUniqueID = 9;
    b.hint = "hint";
    b.appInfoTail = Bytes(12, 0x5A);
    b.AddMemo("memo", 1, 0, 2);
    const std::string path = dir.Path("cats.dat");
    const Bytes image = b.Build();
    ASSERT_TRUE(WriteFileBytes(path, image));

    {
        CTessalyTable table;
        CString p(path.c_str());
        ASSERT_EQ(TableOK, table.OpenFrom(p, CFile::modeReadWrite, nullptr));
        ASSERT_EQ(TableOK, table.Save());
        EXPECT_EQ(image, ReadFileBytes(path));   // block untouched
    }
    {
        CTessalyTable table;
        CString p(path.c_str());
        ASSERT_EQ(TableOK, table.OpenFrom(p, CFile::modeReadWrite, nullptr));
        CCategoryMgr* mgr = table.GetCategoryManager();
        ASSERT_NE(nullptr, mgr);
        EXPECT_EQ(3, mgr->GetCount());
        CString renamed("Office");
        ASSERT_EQ(CatErrNone, mgr->Rename(1, renamed));
        ASSERT_EQ(CatErrNone, mgr->Delete(2));
        CCategory added;
        added.SetName(CString(("New" + kHyo).c_str()));
        ASSERT_EQ(CatErrNone, mgr->Add(&added));
        EXPECT_EQ(2u, added.GetIndex());
        ASSERT_EQ(TableOK, table.Save());
    }
    // Only the category block changed: renamed word now says "renamed here",
    // bytes 274-275 are zero, the rest of the data is as it was.
    b.SetCategory(1, "Office", 1);
    b.SetCategory(2, "New" + kHyo, 128);
    b.renamedWord = 1 << 1;
    b.lastUniqueID = 0;
    EXPECT_EQ(b.Build(), ReadFileBytes(path));
}
