#include "Prefs.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace NorvaneCommon;
namespace fs = std::filesystem;

namespace {

const UINT kExtensionFlags = CFile::modeReadWrite | CFile::modeCreate | CFile::modeNoTruncate;   // 0x3002

typedef std::string Bytes;

Bytes Le(std::initializer_list<int> values)
{
    Bytes b;
    for (int v : values)
        for (int i = 0; i < 4; ++i)
            b += static_cast<char>(static_cast<unsigned>(v) >> (8 * i));
    return b;
}

class PrefsFile : public ::testing::Test {
protected:
    void WriteFile(const Bytes& b) { testsupport::WriteBytes(m_path.GetString(), {b.begin(), b.end()}); }
    Bytes ReadFile() { const auto b = testsupport::ReadBytes(m_path.GetString()); return Bytes(b.begin(), b.end()); }

    testsupport::TempDir m_dir;
    CString m_path = m_dir.File("UiPrefs.DAT").c_str();
};

// A preferences layout with strings: text, then a number after it.
struct StringPrefs : CPrefsTable {
    CString m_strText = "unchanged";
    int m_nAfter = 77, m_bTextRead = -1;

    void ReadPrefsData() override
    {
        CPrefsTable::ReadPrefsData();
        m_bTextRead = ReadString(m_strText);
        ReadInt(m_nAfter);
    }
    void WritePrefsData() override
    {
        CPrefsTable::WritePrefsData();
        WriteString(m_strText);
        WriteInt(m_nAfter);
    }
};

} // namespace

// Only whole values the file holds are taken; the others keep what they
// were. Save writes from the start and leaves the tail of a longer file.
TEST_F(PrefsFile, ReadsWhatTheFileHoldsAndSavesInPlace)
{
    const struct { Bytes file; int filter, selected; } cases[] = {
        {Le({256, 5}), 5, 42},
        {Le({256, 5}) + Bytes("\1\2"), 5, 42},   // a partial value is not taken
        {Le({256}) + Bytes("\t\t\t"), 3, 42},
        {Bytes("\1", 2), 3, 42},
        {Le({999, 7, 8}), 7, 8},               // the version is not compared
        {Le({256, 1, 2, 0x55555555}), 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.file.size()) + " bytes");
        WriteFile(c.file);
        CTessalyPrefsTable prefs;
        prefs.m_nCategoryFilter = 3;
        prefs.m_nSelectedIndex = 42;
        ASSERT_EQ(0, prefs.OpenFrom(m_path, kExtensionFlags));
        EXPECT_EQ(c.filter, prefs.m_nCategoryFilter);
        EXPECT_EQ(c.selected, prefs.m_nSelectedIndex);
        prefs.m_nSelectedIndex = -1;
        ASSERT_EQ(0, prefs.Save());
        const Bytes saved = Le({256, c.filter, -1});
        EXPECT_EQ(saved + Bytes(c.file.begin() + std::min(c.file.size(), saved.size()), c.file.end()), ReadFile());
    }
}

// Only with the create flag is a missing file made (empty, the defaults
// saved into it); a failed open or save changes nothing.
TEST_F(PrefsFile, OpenCreatesOnlyWhenAsked)
{
    CTessalyPrefsTable prefs;
    prefs.m_nCategoryFilter = 4;
    EXPECT_EQ(-1, prefs.Save());   // no path yet
    EXPECT_EQ(-1, prefs.OpenFrom(m_path, CFile::modeReadWrite));
    EXPECT_EQ(4, prefs.m_nCategoryFilter);
    EXPECT_EQ(-1, prefs.Save());
    CString dirPath = m_dir.Path().c_str();
    EXPECT_EQ(-1, prefs.OpenFrom(dirPath, kExtensionFlags));

    CTessalyPrefsTable fresh;
    EXPECT_EQ(0, fresh.OpenFrom(m_path, kExtensionFlags));
    EXPECT_EQ(0u, fs::file_size(m_path.GetString()));
    EXPECT_EQ(0, fresh.Save());
    EXPECT_EQ(Le({256, -1, 0}), ReadFile());
}

// A string is stored as its length with the NUL, the text and the NUL.
TEST_F(PrefsFile, StringsRoundTrip)
{
    for (const std::string& text : {std::string("\x83\x81\x83\x82 memo\\path"), std::string()}) {
        fs::remove(m_path.GetString());
        StringPrefs out, in;
        ASSERT_EQ(0, out.OpenFrom(m_path, kExtensionFlags));
        out.m_strText = text.c_str();
        out.m_nAfter = -9;
        ASSERT_EQ(0, out.Save());
        EXPECT_EQ(Le({256, static_cast<int>(text.size()) + 1}) + text + Bytes(1, 0) + Le({-9}), ReadFile());
        ASSERT_EQ(0, in.OpenFrom(m_path, CFile::modeRead));
        EXPECT_EQ(text, in.m_strText.GetString());
        EXPECT_EQ(-9, in.m_nAfter);
    }
}

// A string is taken as stored up to its NUL (or its whole length without
// one), and the whole stored length is consumed. A length no writer made
// is not read, nor anything after it.
TEST_F(PrefsFile, StringsAsStored)
{
    const int cap = CPrefsTable::kMaxStringLength;
    const struct { const char* what; Bytes file; int read; std::string text; int after; } cases[] = {
        {"without NUL", Le({256, 3}) + "abc" + Le({6}), 1, "abc", 6},
        {"early NUL", Le({256, 5}) + Bytes("ab\0z", 5) + Le({6}), 1, "ab", 6},
        {"at the cap", Le({256, cap}) + Bytes(cap - 1, 'y') + Bytes(1, 0) + Le({3}), 1, std::string(cap - 1, 'y'), 3},
        {"negative", Le({256, -1}) + Bytes("abc", 4) + Le({5}), 0, "unchanged", 77},
        {"huge", Le({256, 0x7FFFFFFF}) + Bytes("abc", 4) + Le({5}), 0, "unchanged", 77},
        {"past the end", Le({256, 9}) + Bytes("abc", 4), 0, "unchanged", 77},
        {"over the cap", Le({256, cap + 1}) + Bytes(cap + 8, 'x'), 0, "unchanged", 77},
        {"length cut short", Le({256}) + Bytes("\4", 2), 0, "unchanged", 77},
    };
    for (const auto& c : cases) {
        WriteFile(c.file);
        StringPrefs prefs;
        ASSERT_EQ(0, prefs.OpenFrom(m_path, CFile::modeRead)) << c.what;
        EXPECT_EQ(c.read, prefs.m_bTextRead) << c.what;
        EXPECT_EQ(c.text, prefs.m_strText.GetString()) << c.what;
        EXPECT_EQ(c.after, prefs.m_nAfter) << c.what;
    }
}

// Everything up to the last separator (never the trail byte 0x5C of a
// double-byte character) or else a drive (a letter, either case, then a
// colon) stays; the name replaces the rest.
TEST(PrefsBaseName, ReplacesLastComponent)
{
    static const char* const cases[][2] = {
        {"C:\\Users\\taro\\Palm\\record.dat", "C:\\Users\\taro\\Palm\\"}, {"C:\\Palm\\", "C:\\Palm\\"},
        {"C:\\Palm\\\x83\x5C\x83\x74\x83\x67.dat", "C:\\Palm\\"}, {"C:\\Palm\\a\x83\x5C", "C:\\Palm\\"},
        {"C:\\\x83\x5C\\record.dat", "C:\\\x83\x5C\\"}, {"C:\\a\x83", "C:\\"},   // cut inside a character
        {"\\\\server\\share\\r.dat", "\\\\server\\share\\"}, {"\\", "\\"}, {"C:\\", "C:\\"},
        {"record.dat", ""}, {"", ""}, {"C:record.dat", "C:"}, {"C:", "C:"}, {"A:", "A:"},
        {"a:x", "a:"}, {"z:x", "z:"}, {"Z:x", "Z:"}, {"@:x", ""}, {"[:x", ""}, {"`:x", ""}, {"{:x", ""},
        {"1:x", ""}, {":", ""}, {"C", ""},
#if !defined(_WIN32)
        {"/home/taro/Palm/record.dat", "/home/taro/Palm/"},
#endif
    };
    for (const auto& c : cases) {
        CString path(c[0]);
        CPrefsTable::ReplaseBaseName(path, CString("UiPrefs.DAT"));
        EXPECT_EQ(std::string(c[1]) + "UiPrefs.DAT", path.GetString()) << c[0];
    }
}
