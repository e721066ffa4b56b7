#include "Category.h"
#include "shared/data/DataFileBuilder.h"

#include <gtest/gtest.h>

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

// The block as compacted into exactly its own room, over stale bytes.
Bytes CompactOf(CCategoryMgr& mgr)
{
    Bytes out(300, 0xCC);
    DWORD length = 276;
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
    for (; err == CatErrNone; err = mgr.FindNext(cat))
        seen.push_back(cat->GetIndex());
    EXPECT_EQ(CatErrNotFound, err);
    EXPECT_EQ(CatErrNotFound, mgr.FindNext(cat));   // stays at the end
    return seen;
}

} // namespace

// Used slots are read (a name of 16 bytes without its NUL whole), stored
// renamed bits are not; the finds go by index, exact name and ID; a deleted
// category leaves its slot, ID too, empty; bytes 274-275 are written zero.
TEST(CategoryMgr, ExtractFindAndDelete)
{
    CategorySlot slots[16];
    slots[0] = {"Unfiled", 0};
    slots[3] = {"Three", 30};
    slots[4] = {"three", 40};
    slots[5] = {kHyo + "x", 200};
    slots[6] = {"", 99};              // an ID without a name is no category
    slots[7] = {"Seven", 70};
    slots[15] = {"Sixteen chars!!!", 150};
    CCategoryMgr mgr;
    ExtractFrom(mgr, BlockOf(slots, 0xFFFF, 33));

    EXPECT_EQ(6, mgr.GetCount());
    EXPECT_EQ((std::vector<DWORD>{0, 3, 4, 5, 7, 15}), WalkIndexes(mgr));
    CCategory* cat = nullptr;
    for (int i : {0, 3, 4, 5, 7, 15}) {
        ASSERT_EQ(CatErrNone, mgr.FindIndex(i, cat));
        EXPECT_FALSE(cat->IsDirty()) << i;
    }
    for (int absent : {6, 16, -1})
        EXPECT_EQ(CatErrNotFound, mgr.FindIndex(absent, cat)) << absent;
    const struct {
        const char* name;
        int id;
        DWORD index;   // 99 = none
    } finds[] = {{"Three", 30, 3}, {"three", 40, 4}, {"THREE", 99, 99}, {"Sixteen chars!!!", 150, 15}};
    auto found = [&](CatError err) { return err == CatErrNone ? cat->GetIndex() : (cat ? 98 : 99); };
    for (const auto& f : finds) {
        CString name(f.name);
        EXPECT_EQ(f.index, found(mgr.FindName(name, cat))) << f.name;
        EXPECT_EQ(f.index, found(mgr.FindID(f.id, cat))) << f.id;
    }
    ASSERT_EQ(CatErrNone, mgr.FindID(200, cat));
    EXPECT_EQ(kHyo + "x", std::string(cat->GetName().GetString()));

    for (int absent : {1, 16, -1})
        EXPECT_EQ(CatErrNotFound, mgr.Delete(absent)) << absent;
    EXPECT_EQ(6, mgr.GetCount());
    ASSERT_EQ(CatErrNone, mgr.Delete(7));
    EXPECT_EQ(CatErrNotFound, mgr.FindIndex(7, cat));
    EXPECT_EQ(CatErrNotFound, mgr.FindID(70, cat));
    EXPECT_EQ((std::vector<DWORD>{0, 3, 4, 5, 15}), WalkIndexes(mgr));
    slots[6] = slots[7] = CategorySlot();   // a nameless slot's ID is not written either
    slots[15].name = "Sixteen chars!!";   // written back with its NUL
    EXPECT_EQ(BlockOf(slots), CompactOf(mgr));

    // Renamed categories set their bit of the big-endian word; only the low
    // byte of an ID fits the block.
    CString renamed("Renamed");
    for (int i : {0, 4, 15})
        EXPECT_EQ(CatErrNone, mgr.Rename(i, renamed));
    EXPECT_EQ(CatErrNotFound, mgr.Rename(7, renamed));
    ASSERT_EQ(CatErrNone, mgr.FindIndex(5, cat));
    cat->SetID(0x1C8);
    slots[0].name = slots[4].name = slots[15].name = "Renamed";
    slots[5].id = 0xC8;
    EXPECT_EQ(BlockOf(slots, 0x8011), CompactOf(mgr));

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
    CategorySlot expected[16];
    for (int i = 0; i < 8; ++i) {
        CCategory cat;
        cat.SetName(CString(cases[i].name.c_str()));
        ASSERT_EQ(CatErrNone, mgr.Add(&cat));
        expected[i] = {cases[i].stored, static_cast<std::uint8_t>(128 + i)};
    }
    EXPECT_EQ(BlockOf(expected), CompactOf(mgr));
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
    for (CCategory next; mgr.GetCount() < 16; indexes.push_back(next.GetIndex()))
        ASSERT_EQ(CatErrNone, mgr.Add(&next));
    EXPECT_EQ((std::vector<DWORD>{3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}), indexes);
    const Bytes full = CompactOf(mgr);
    CCategory extra;
    EXPECT_EQ(CatErrFull, mgr.Add(&extra));
    EXPECT_EQ(0u, extra.GetIndex() | extra.GetID());
    EXPECT_EQ(full, CompactOf(mgr));
    ASSERT_EQ(CatErrNone, mgr.Delete(7));
    ASSERT_EQ(CatErrNone, mgr.Add(&extra));
    EXPECT_EQ(7u, extra.GetIndex());
    EXPECT_EQ(141u, extra.GetID());   // 128 to 140 went to the thirteen added before
}

// File names replace reserved characters but keep double-byte characters
// whole, on reading and on renaming.
TEST(CategoryMgr, FileNames)
{
    const std::string names[][2] = {{"a\"*+,./:;<", "a_________"},
                                    {"=>?[\\]^|z", "________z"},
                                    {"\x83\x5C" + kHyo, "\x83\x5C" + kHyo},   // trail bytes 0x5C are no backslashes
                                    {"a b-c_d(e)", "a b-c_d(e)"}};
    CategorySlot slots[16];
    for (int i = 0; i < 4; ++i)
        slots[i] = {names[i][0], static_cast<std::uint8_t>(i + 1)};
    CCategoryMgr mgr;
    ExtractFrom(mgr, BlockOf(slots));
    CString renamed(names[0][0].c_str());
    ASSERT_EQ(CatErrNone, mgr.Rename(3, renamed));
    for (int i = 0; i < 4; ++i) {
        CCategory* cat = nullptr;
        ASSERT_EQ(CatErrNone, mgr.FindIndex(i, cat));
        EXPECT_EQ(names[i == 3 ? 0 : i][1], std::string(cat->GetFileName().GetString())) << i;
    }
}
