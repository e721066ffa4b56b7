// The conduit's category list: the 276-byte block, adding, finding and
// deleting, the file-name form of names.
#include "PCategory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

CPCategory Named(const char* name, LONG id, LONG index = -1)
{
    CPCategory c;
    c.SetName(name);
    c.SetID(id);
    c.SetIndex(index);
    return c;
}

// The handheld manager's tests cover the whole block; these are its edges.
TEST(CategoryListTest, ReadsAndWritesTheCategoryPartOfTheBlock)
{
    std::vector<BYTE> b(300, 0);
    std::strcpy(reinterpret_cast<char*>(&b[2]), "Unfiled");
    std::memcpy(&b[2 + 16 * 5], "SixteenCharsLong", 16);   // no NUL in its slot
    b[258 + 5] = 200;
    b[1] = 0x20;   // index 5 renamed (big-endian word)
    CCategoryList list;
    EXPECT_EQ(CONDUIT_APPINFO_TOO_SHORT, list.Extract(b.data(), 275));
    ASSERT_EQ(0, list.Extract(b.data(), 276));
    EXPECT_EQ(2, list.GetCount());
    CPCategory* c = list.GetByIndex(5);
    ASSERT_TRUE(c);
    EXPECT_STREQ("SixteenCharsLon", c->GetName()) << "cut to 15";
    EXPECT_EQ(200, c->GetID());
    EXPECT_TRUE(c->IsChanged()) << "renamed flag";
    EXPECT_FALSE(list.GetByIndex(0)->IsChanged());
    EXPECT_EQ(nullptr, list.GetByIndex(16));

    std::vector<BYTE> out(300, 0xAA);
    DWORD len = 275;
    EXPECT_EQ(CONDUIT_BUFFER_TOO_SMALL, list.Compact(out.data(), &len));
    EXPECT_EQ(276u, len);
    len = 300;
    ASSERT_EQ(0, list.Compact(out.data(), &len));
    EXPECT_EQ(276u, len);
    EXPECT_EQ(0, std::memcmp(&out[2 + 16 * 5], "SixteenCharsLon\0", 16));
    EXPECT_EQ(0xAA, out[276]) << "nothing past the category part";
}

TEST(CategoryListTest, AddingFindsAPlaceAndDeletingFindsTheCategory)
{
    CCategoryList list;
    EXPECT_EQ(CONDUIT_CATEGORY_FULL, list.Add(Named("NoId", -1)));
    ASSERT_EQ(0, list.Add(Named("Unfiled", 0, 0)));
    ASSERT_EQ(0, list.Add(Named("Work", 130)));
    EXPECT_EQ(1, list.FindByID(130)->GetIndex()) << "lowest free index from 1";
    EXPECT_EQ(CONDUIT_CATEGORY_ID_IN_USE, list.Add(Named("Again", 130)));
    EXPECT_EQ(CONDUIT_CATEGORY_FULL, list.Add(Named("Taken", 131, 1))) << "an occupied place is not overwritten";
    EXPECT_STREQ("Work", list.GetByIndex(1)->GetName());
    EXPECT_EQ(CONDUIT_BAD_INDEX, list.DeleteByIndex(16));
    EXPECT_EQ(CONDUIT_BAD_INDEX, list.DeleteByIndex(5));
    EXPECT_EQ(CONDUIT_CATEGORY_NOT_FOUND, list.DeleteByID(99));
    EXPECT_EQ(CONDUIT_EMPTY_NAME, list.DeleteByName(""));
    EXPECT_EQ(CONDUIT_CATEGORY_NOT_FOUND, list.DeleteByName("Garden"));
    EXPECT_FALSE(list.IsChanged());
    ASSERT_EQ(0, list.DeleteByName("WORK"));
    EXPECT_TRUE(list.IsChanged());
    EXPECT_EQ(1, list.GetFreeIndex());
    list.SetChanged(0);
    ASSERT_EQ(0, list.AddAndMarkChanged(Named("Home", 131)));
    EXPECT_TRUE(list.IsChanged());
    ASSERT_EQ(0, list.DeleteByID(131));
    EXPECT_EQ(1, list.GetCount());
    for (LONG id = 140; list.GetFreeIndex() != -1; ++id)
        ASSERT_EQ(0, list.Add(Named("c", id)));
    EXPECT_EQ(16, list.GetCount());
    EXPECT_EQ(CONDUIT_CATEGORY_FULL, list.Add(Named("More", 200)));
}

TEST(CategoryListTest, NamesAreCutAtCharacterBoundariesFoundWithoutCaseAndGetSafeFileNames)
{
    CPCategory c;
    EXPECT_EQ(CONDUIT_TOO_LONG, c.SetName("0123456789abcdef"));
    EXPECT_STREQ("0123456789abcde", c.GetName());
    // 14 bytes and a double-byte character: the character does not fit whole.
    EXPECT_EQ(CONDUIT_TOO_LONG, c.SetName("0123456789abcd\x83\x5C"));
    EXPECT_STREQ("0123456789abcd", c.GetName());

    CCategoryList list;
    ASSERT_EQ(0, list.Add(Named("v1.0 a/b:c", 1)));
    EXPECT_STREQ("v1_0 a_b_c", list.FindByID(1)->GetFileName()) << "no other extension, no folders";
    ASSERT_EQ(0, list.Add(Named("\"*+,.:;<=>?[]^|", 2)));
    EXPECT_STREQ("_______________", list.FindByID(2)->GetFileName());
    // "ソ" ends in the byte of a backslash; it stays a character.
    ASSERT_EQ(0, list.Add(Named("\x83\x5C\x5C", 3)));
    EXPECT_STREQ("\x83\x5C_", list.FindByID(3)->GetFileName());
    ASSERT_EQ(0, list.Add(Named("\x83\x41", 4)));   // a katakana whose trail byte is 'A'
    EXPECT_EQ(1, list.FindByName("V1.0 A/B:C")->GetID());
    EXPECT_EQ(4, list.FindByName("\x83\x41")->GetID());
    EXPECT_EQ(nullptr, list.FindByName("\x83\x61")) << "another character, not the same in lower case";
    EXPECT_EQ(nullptr, list.FindByName("v1.0 a/b:"));
}

TEST(CategoryListTest, ReplaceRenameAndEqual)
{
    CCategoryList a;
    ASSERT_EQ(0, a.Add(Named("Unfiled", 0, 0)));
    ASSERT_EQ(0, a.Add(Named("Work", 10, 3)));
    CCategoryList b(a);
    EXPECT_TRUE(a.Equal(b));
    EXPECT_EQ(CONDUIT_BAD_INDEX, b.Replace(16, Named("x", 1)));
    ASSERT_EQ(0, b.Replace(3, Named("WORK", 10)));
    EXPECT_FALSE(b.IsChanged());
    EXPECT_FALSE(a.Equal(b)) << "names compare with case";
    ASSERT_EQ(0, b.Rename(3, "Work"));
    EXPECT_TRUE(a.Equal(b));
    EXPECT_EQ(CONDUIT_NO_CATEGORY_AT_INDEX, b.Rename(4, "x"));
    // Lists alike but for one field of one category are not equal.
    CCategoryList c(a), d(a);
    ASSERT_EQ(0, c.Replace(3, Named("Work", 11)));
    EXPECT_FALSE(a.Equal(c)) << "another ID";
    ASSERT_EQ(0, d.DeleteByIndex(3));
    ASSERT_EQ(0, d.Add(Named("Work", 10, 4)));
    EXPECT_FALSE(a.Equal(d)) << "another place";
    EXPECT_FALSE(d.Equal(a));

    a.MarkAllChanged();
    EXPECT_TRUE(a.GetByIndex(0)->IsChanged() && a.GetByIndex(3)->IsChanged());
}

} // namespace
