#include "afx/afx.h"

#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <utility>

namespace {

// "ソ" is 0x83 0x5C and "表" is 0x95 0x5C: their trail byte is a backslash.
// "ツ" is 0x83 0x63: its trail byte is a lower-case letter.
const char kSo[] = "\x83\x5C";
const char kHyo[] = "\x95\x5C";
const char kTsu[] = "\x83\x63";

TEST(CString, SearchesNeverMatchATrailByte)
{
    CString s = CString("C:") + kSo + "ft" + kHyo + "\\memo";
    EXPECT_EQ(s.Find('\\'), 8);
    EXPECT_EQ(s.ReverseFind('\\'), 8);
    EXPECT_EQ(CString(kSo).ReverseFind('\\'), -1);
    EXPECT_EQ(s.Find("\\m"), 8);
    // A substring starting at a trail byte is not a match.
    EXPECT_EQ(CString("\x83\x41\x41").Find("\x41\x41"), -1);
    EXPECT_EQ(CString("a\x83\x41\x41").Find('A'), 3);
}

TEST(CString, ReplaceIsMultiByteAware)
{
    CString s = CString(kSo) + "\n" + kHyo + "\r\nend";
    EXPECT_EQ(s.Replace("\r\n", "\n"), 1);
    EXPECT_EQ(s, CString(kSo) + "\n" + kHyo + "\nend");
    EXPECT_EQ(s.Replace("\n", "\r\n"), 2);
    EXPECT_EQ(s, CString(kSo) + "\r\n" + kHyo + "\r\nend");
    CString t(kSo);
    EXPECT_EQ(t.Replace("\\", "/"), 0);
    EXPECT_EQ(t.Replace('\\', '/'), 0);
    EXPECT_EQ(t, kSo);
}

TEST(CString, CopiesAndSelfReferences)
{
    CString a("0123456789"), b = a;
    b += "!";
    a += a;   // grows while reading itself
    EXPECT_EQ(a, "01234567890123456789");
    EXPECT_EQ(b.Mid(6), "6789!");
    CString moved(static_cast<CString&&>(a));
    EXPECT_EQ(moved, "01234567890123456789");
    EXPECT_STREQ(static_cast<const char*>(a), "");
    EXPECT_EQ(CString(static_cast<const char*>(nullptr)), "");
}

TEST(CString, BuffersAndPieces)
{
    CString s;
    std::strcpy(s.GetBuffer(10), "abc");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 3);
    char* p = s.GetBufferSetLength(5);
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
    CString w("  \t x y \r\n");
    EXPECT_EQ(w.Trim(), "x y");
    // A trail byte equal to a space is no space to trim, and a trail byte
    // equal to a letter is no letter to raise.
    CString t("\x82\x20\x82\x82 ");
    EXPECT_EQ(t.TrimRight().GetLength(), 4);
    CString u = CString("ab") + kTsu + "cd";
    EXPECT_EQ(u.MakeUpper(), CString("AB") + kTsu + "CD");
    EXPECT_LT(CString("\xB1"), CString("\x83\x41"));   // character order, not byte order
}

TEST(Mbcs, CharacterOrderNotByteOrder)
{
    static const struct { const char *a, *b; int order; } cases[] = {
        {"A", "\x82\xA0", -1},             // 0x41 < 0x82A0
        {"\xB1", "\x83\x41", -1},          // half-width katakana before lead 0x83
        {"\x81\x5C", "\x5C\xFF", 1},       // a trail byte is part of its character
        {"\x82\xA0" "a", "\x82\xA0" "a", 0},
        {"ab", "abc", -1},
        {"", "a", -1},
        {"a\x82", "a", 0},                 // a lead byte cut off by the end ends the text
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.order, afx::MbsCompare932(c.a, c.b)) << c.a << " / " << c.b;
        EXPECT_EQ(-c.order, afx::MbsCompare932(c.b, c.a)) << c.b << " / " << c.a;
    }
}

TEST(Mbcs, LeadBytesAndLastCharacter)
{
    // The ends of both lead byte ranges, each with the byte just outside.
    const std::pair<int, int> leads[] = {{0x81, 0x80}, {0x9F, 0xA0}, {0xE0, 0xDF}, {0xFC, 0xFD}};
    for (const auto& l : leads)
        EXPECT_TRUE(afx::IsLeadByte932(l.first) && !afx::IsLeadByte932(l.second)) << l.first;
    // A folder ending in a character whose trail byte is 0x5C ("表") does not
    // end in a separator; one ending in a real backslash does.
    static const struct { const char* text; bool ends; } cases[] = {
        {"C:\\Users\\", true}, {"C:\\Users\\\x95\x5C", false}, {"\x95\x5C\\", true},
        {"\\", true}, {"", false}, {"a\x81", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.ends, afx::EndsWithChar932(c.text, std::string(c.text).size(), '\\')) << c.text;
}

} // namespace
