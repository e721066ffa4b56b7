#include "afx/afx.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <utility>

#if defined(_WIN32)
#include <mbctype.h>
#include <mbstring.h>
#endif

namespace {

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

#if defined(_WIN32)
// A random well-formed Shift-JIS string: ASCII, half-width katakana and
// double-byte characters mixed.
std::string RandomSjis(std::mt19937& rng, unsigned maxChars)
{
    std::string s;
    for (unsigned i = rng() % (maxChars + 1); i > 0; --i) {
        const unsigned kind = rng() % 4, trail = 0x40 + rng() % 0xBC;
        if (kind < 2)
            s += static_cast<char>(kind ? 0x20 + rng() % 0x5F : 0xA1 + rng() % 0x3F);
        else
            s += {static_cast<char>(kind == 2 ? 0x81 + rng() % 0x1F : 0xE0 + rng() % 0x10),
                  static_cast<char>(trail == 0x7F ? 0x80 : trail)};
    }
    return s;
}

// Our comparison and the runtime's _mbscmp in code page 932 agree.
TEST(Mbcs, AgreesWithRuntimeMbscmp)
{
    ASSERT_EQ(_setmbcp(932), 0);
    std::mt19937 rng(932);
    for (int i = 0; i < 20000; ++i) {
        const std::string a = RandomSjis(rng, 8);
        // Often share a prefix (cut between characters), so the comparison
        // reaches deep characters.
        size_t cut = 0;
        while (cut < a.size() / 2)
            cut += afx::CharLength932(a.c_str() + cut);
        const std::string b = (i % 2 ? a.substr(0, cut) : std::string()) + RandomSjis(rng, i % 2 ? 4 : 8);
        const int theirs = _mbscmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                                   reinterpret_cast<const unsigned char*>(b.c_str()));
        ASSERT_EQ(theirs < 0 ? -1 : theirs > 0 ? 1 : 0, afx::MbsCompare932(a.c_str(), b.c_str())) << "case " << i;
    }
}
#endif

} // namespace
