#include "afx/afx.h"

#include <gtest/gtest.h>
#include <cstring>

namespace {

// "ソ" is 0x83 0x5C and "表" is 0x95 0x5C: their trail byte is a backslash.
const char kSo[] = "\x83\x5C";
const char kHyo[] = "\x95\x5C";

TEST(CString, SearchesNeverMatchATrailByte)
{
    CString s = CString("C:") + kSo + "ft" + kHyo + "\\memo";
    EXPECT_EQ(s.Find('\\'), 8);
    EXPECT_EQ(s.ReverseFind('\\'), 8);
    EXPECT_EQ(CString(kSo).Find('\\'), -1);
    EXPECT_EQ(CString(kSo).ReverseFind('\\'), -1);
    EXPECT_EQ(s.Find("\\m"), 8);
    // A substring starting at a trail byte is not a match.
    EXPECT_EQ(CString("\x83\x41\x41").Find("\x41\x41"), -1);
    EXPECT_EQ(CString("a\x83\x41\x41").Find('A'), 3);
}

TEST(CString, ReplaceIsMultiByteAware)
{
    CString s = CString(kSo) + "\n" + kHyo + "\r\n";
    EXPECT_EQ(s.Replace("\r\n", "\n"), 1);
    EXPECT_EQ(s, CString(kSo) + "\n" + kHyo + "\n");
    EXPECT_EQ(s.Replace("\n", "\r\n"), 2);
    EXPECT_EQ(s, CString(kSo) + "\r\n" + kHyo + "\r\n");
    CString t(kSo);
    EXPECT_EQ(t.Replace("\\", "/"), 0);
    EXPECT_EQ(t, kSo);
    EXPECT_EQ(t.Replace('\\', '/'), 0);
    CString none("plain");
    EXPECT_EQ(none.Replace("\n", "\r\n"), 0);
    EXPECT_EQ(none, "plain");
}

TEST(CString, CopiesAndSelfReferences)
{
    CString a("hello");
    CString b = a;
    b += " world";
    EXPECT_EQ(a, "hello");
    EXPECT_EQ(b, "hello world");
    b = b.Mid(6);
    EXPECT_EQ(b, "world");
    b += b;
    EXPECT_EQ(b, "worldworld");
    CString empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_STREQ(static_cast<const char*>(empty), "");
    CString moved(static_cast<CString&&>(b));
    EXPECT_EQ(moved, "worldworld");
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(CString(static_cast<const char*>(nullptr)), "");
}

TEST(CString, BuffersAndPieces)
{
    CString s;
    char* p = s.GetBuffer(10);
    std::strcpy(p, "abc");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 3);
    p = s.GetBufferSetLength(5);
    p[3] = 'd';
    p[4] = 'e';
    s.ReleaseBuffer(5);
    EXPECT_EQ(s, "abcde");
    EXPECT_EQ(s.Left(2), "ab");
    EXPECT_EQ(s.Right(2), "de");
    EXPECT_EQ(s.Mid(1, 3), "bcd");
    EXPECT_EQ(s.Mid(9), "");
    EXPECT_EQ(s.Left(-1), "");
    s.Insert(0, "<");
    s.Delete(3, 2);
    EXPECT_EQ(s, "<abe");
    CString f;
    f.Format("%s-%04d", "id", 42);
    EXPECT_EQ(f, "id-0042");
    CString w("  \t x y \r\n");
    EXPECT_EQ(w.Trim(), "x y");
    CString u = CString("ab") + kSo + "cd";
    u.MakeUpper();
    EXPECT_EQ(u, CString("AB") + kSo + "CD");
}

TEST(CString, TrimRightKeepsDoubleByteCharacters)
{
    // 0x81 0x20 is not a valid pair, but a trail byte equal to a space must
    // not be trimmed as one.
    CString s("\x82\x20");
    s.TrimRight();
    EXPECT_EQ(s.GetLength(), 2);
}

TEST(CString, CompareFollowsCharacterOrder)
{
    EXPECT_LT(CString("A").Compare("\x82\xA0"), 0);
    EXPECT_LT(CString("\xB1"), CString("\x83\x41"));
    EXPECT_EQ(CString("same").Compare("same"), 0);
}

} // namespace
