#include "afx/afx.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

#if defined(_WIN32)
#include <mbctype.h>
#include <mbstring.h>
#endif

namespace {

// A random well-formed Shift-JIS string: ASCII, half-width katakana and
// double-byte characters mixed.
std::string RandomSjis(std::mt19937& rng, int maxChars)
{
    std::uniform_int_distribution<int> kind(0, 3), len(0, maxChars);
    std::string s;
    for (int i = len(rng); i > 0; --i) {
        switch (kind(rng)) {
        case 0: s += static_cast<char>(std::uniform_int_distribution<int>(0x20, 0x7E)(rng)); break;
        case 1: s += static_cast<char>(std::uniform_int_distribution<int>(0xA1, 0xDF)(rng)); break;
        default: {
            int lead = std::uniform_int_distribution<int>(0, 1)(rng) ? std::uniform_int_distribution<int>(0x81, 0x9F)(rng)
                                                                     : std::uniform_int_distribution<int>(0xE0, 0xEF)(rng);
            int trail = std::uniform_int_distribution<int>(0x40, 0xFB)(rng);
            if (trail == 0x7F)
                trail = 0x80;
            s += static_cast<char>(lead);
            s += static_cast<char>(trail);
        }
        }
    }
    return s;
}

TEST(Mbcs, CharacterOrderNotByteOrder)
{
    using afx::MbsCompare932;
    EXPECT_LT(MbsCompare932("A", "\x82\xA0"), 0);          // 0x41 < 0x82A0
    EXPECT_LT(MbsCompare932("\xB1", "\x83\x41"), 0);       // half-width katakana before lead 0x83
    // A trail byte compares as part of its character: 0x815C ("―") sorts
    // after "\\" + anything, although its second byte equals '\\'.
    EXPECT_GT(MbsCompare932("\x81\x5C", "\x5C\xFF"), 0);
    EXPECT_EQ(MbsCompare932("\x82\xA0" "a", "\x82\xA0" "a"), 0);
    EXPECT_LT(MbsCompare932("ab", "abc"), 0);
    EXPECT_GT(MbsCompare932("abc", "ab"), 0);
    EXPECT_LT(MbsCompare932("", "a"), 0);
    // A lead byte cut off by the end of the text ends the text.
    EXPECT_EQ(MbsCompare932("a\x82", "a"), 0);
}

TEST(Mbcs, LeadBytes)
{
    EXPECT_FALSE(afx::IsLeadByte932(0x80));
    EXPECT_TRUE(afx::IsLeadByte932(0x81));
    EXPECT_TRUE(afx::IsLeadByte932(0x9F));
    EXPECT_FALSE(afx::IsLeadByte932(0xA0));
    EXPECT_FALSE(afx::IsLeadByte932(0xDF));
    EXPECT_TRUE(afx::IsLeadByte932(0xE0));
    EXPECT_TRUE(afx::IsLeadByte932(0xFC));
    EXPECT_FALSE(afx::IsLeadByte932(0xFD));
}

// A folder ending in a character whose trail byte is 0x5C ("表") does not
// end in a separator; one ending in a real backslash does.
TEST(Mbcs, EndsWithCharLooksAtCharactersNotBytes)
{
    struct { const char* text; bool ends; } cases[] = {
        {"C:\\Users\\", true}, {"C:\\Users\\\x95\x5C", false}, {"\x95\x5C\\", true},
        {"\\", true}, {"", false}, {"a\x81", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(afx::EndsWithChar932(c.text, std::string(c.text).size(), '\\'), c.ends) << c.text;
}

#if defined(_WIN32)
// The first half of a text, cut between characters.
std::string CharPrefix(const std::string& s)
{
    size_t i = 0;
    while (i < s.size() / 2)
        i += afx::CharLength932(s.c_str() + i);
    return s.substr(0, i);
}

// Our comparison and the runtime's _mbscmp in code page 932 agree.
TEST(Mbcs, AgreesWithRuntimeMbscmp)
{
    ASSERT_EQ(_setmbcp(932), 0);
    std::mt19937 rng(932);
    for (int i = 0; i < 20000; ++i) {
        std::string a = RandomSjis(rng, 8);
        // Often share a prefix, so the comparison reaches deep characters.
        std::string b = (i % 2) ? CharPrefix(a) + RandomSjis(rng, 4) : RandomSjis(rng, 8);
        int ours = afx::MbsCompare932(a.c_str(), b.c_str());
        int theirs = _mbscmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                             reinterpret_cast<const unsigned char*>(b.c_str()));
        theirs = theirs < 0 ? -1 : theirs > 0 ? 1 : 0;
        ASSERT_EQ(ours, theirs) << "case " << i;
    }
}
#endif

TEST(Mbcs, OrderIsATotalOrderOnRandomText)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 5000; ++i) {
        std::string a = RandomSjis(rng, 6), b = RandomSjis(rng, 6);
        int ab = afx::MbsCompare932(a.c_str(), b.c_str());
        int ba = afx::MbsCompare932(b.c_str(), a.c_str());
        ASSERT_EQ(ab, -ba);
        ASSERT_EQ(ab == 0, a == b);
    }
}

} // namespace
