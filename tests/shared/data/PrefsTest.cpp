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

typedef std::vector<unsigned char> Bytes;

Bytes Le(std::initializer_list<int> values)
{
    Bytes b;
    for (int v : values)
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<unsigned char>(static_cast<unsigned>(v) >> (8 * i)));
    return b;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class PrefsFile : public ::testing::Test {
protected:
    void WriteFile(const Bytes& b) { testsupport::WriteBytes(m_path.GetString(), b); }
    Bytes ReadFile() { return testsupport::ReadBytes(m_path.GetString()); }

    testsupport::TempDir m_dir;
    CString m_path = m_dir.File("UiPrefs.DAT").c_str();
};

// A preferences layout with strings: text, then a number after it.
class StringPrefs : public CPrefsTable {
public:
    CString m_strText = "unchanged";
    int m_nAfter = 77;
    int m_bTextRead = -1;

protected:
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

TEST_F(PrefsFile, MissingFileIsCreatedAndDefaultsSaved)
{
    CTessalyPrefsTable prefs;
    ASSERT_FALSE(fs::exists(m_path.GetString()));
    EXPECT_EQ(0, prefs.OpenFrom(m_path, kExtensionFlags));
    EXPECT_TRUE(fs::exists(m_path.GetString()));
    EXPECT_EQ(0u, fs::file_size(m_path.GetString()));
    EXPECT_EQ(-1, prefs.m_nCategoryFilter);
    EXPECT_EQ(0, prefs.m_nSelectedIndex);

    EXPECT_EQ(0, prefs.Save());
    EXPECT_EQ(Le({256, -1, 0}), ReadFile());
}

TEST_F(PrefsFile, SaveRoundTripsAndKeepsTheFileLength)
{
    // A longer old file: Save writes from the start and leaves the tail.
    WriteFile(Le({256, 1, 2, 0x55555555}));
    CTessalyPrefsTable prefs;
    ASSERT_EQ(0, prefs.OpenFrom(m_path, kExtensionFlags));
    EXPECT_EQ(1, prefs.m_nCategoryFilter);
    EXPECT_EQ(2, prefs.m_nSelectedIndex);
    prefs.m_nCategoryFilter = 15;
    prefs.m_nSelectedIndex = -1;
    ASSERT_EQ(0, prefs.Save());
    EXPECT_EQ(Le({256, 15, -1, 0x55555555}), ReadFile());
}

TEST_F(PrefsFile, ShortFileSetsOnlyWhatItHolds)
{
    struct Case {
        Bytes file;
        int filter, selected;
    };
    const Case cases[] = {
        {Le({256, 5}), 5, 42},                      // 8 bytes: filter only
        {Le({256, 5}) + Bytes{1, 2}, 5, 42},       // a partial third value is not taken
        {Le({256}) + Bytes{9, 9, 9}, 3, 42},
        {Bytes{1, 0}, 3, 42},
        {Le({999, 7, 8}), 7, 8},                   // the version is not compared
    };
    for (const Case& c : cases) {
        WriteFile(c.file);
        CTessalyPrefsTable prefs;
        prefs.m_nCategoryFilter = 3;
        prefs.m_nSelectedIndex = 42;
        ASSERT_EQ(0, prefs.OpenFrom(m_path, kExtensionFlags));
        EXPECT_EQ(c.filter, prefs.m_nCategoryFilter) << c.file.size() << " bytes";
        EXPECT_EQ(c.selected, prefs.m_nSelectedIndex) << c.file.size() << " bytes";
    }
}

TEST_F(PrefsFile, CannotOpenChangesNothing)
{
    CTessalyPrefsTable prefs;
    prefs.m_nCategoryFilter = 4;
    EXPECT_EQ(-1, prefs.Save());   // no path yet
    // Without the create flag a missing file is not made.
    EXPECT_EQ(-1, prefs.OpenFrom(m_path, CFile::modeReadWrite));
    EXPECT_FALSE(fs::exists(m_path.GetString()));
    EXPECT_EQ(4, prefs.m_nCategoryFilter);
    EXPECT_EQ(-1, prefs.Save());

    CString dirPath = m_dir.Path().c_str();
    EXPECT_EQ(-1, prefs.OpenFrom(dirPath, kExtensionFlags));
}

TEST_F(PrefsFile, StringsRoundTrip)
{
    StringPrefs out;
    ASSERT_EQ(0, out.OpenFrom(m_path, kExtensionFlags));
    for (const char* text : {"\x83\x81\x83\x82 memo\\path", ""}) {
        out.m_strText = text;
        out.m_nAfter = -9;
        ASSERT_EQ(0, out.Save());
        StringPrefs in;
        ASSERT_EQ(0, in.OpenFrom(m_path, CFile::modeRead));
        EXPECT_EQ(1, in.m_bTextRead);
        EXPECT_STREQ(text, in.m_strText);
        EXPECT_EQ(-9, in.m_nAfter);
    }
    // The empty string is its NUL alone (the longer old tail stays).
    const Bytes expected = Le({256, 1}) + Bytes{0} + Le({-9});
    const Bytes file = ReadFile();
    EXPECT_EQ(expected, Bytes(file.begin(), file.begin() + expected.size()));
}

// A string is taken as stored up to its NUL (or its whole length without
// one), and the whole stored length is consumed. A length no writer made
// is not read, nor anything after it.
TEST_F(PrefsFile, StringsAsStored)
{
    const int cap = CPrefsTable::kMaxStringLength;
    const struct {
        const char* what;
        Bytes file;
        int read;
        std::string text;
        int after;
    } cases[] = {
        {"without NUL", Le({256, 3}) + Text("abc") + Le({6}), 1, "abc", 6},
        {"early NUL", Le({256, 5}) + Text("ab") + Bytes{0, 'z', 0} + Le({6}), 1, "ab", 6},
        {"at the cap", Le({256, cap}) + Bytes(cap - 1, 'y') + Bytes{0} + Le({3}), 1, std::string(cap - 1, 'y'), 3},
        {"negative", Le({256, -1}) + Text("abc") + Bytes{0} + Le({5}), 0, "unchanged", 77},
        {"huge", Le({256, 0x7FFFFFFF}) + Text("abc") + Bytes{0} + Le({5}), 0, "unchanged", 77},
        {"past the end", Le({256, 9}) + Text("abc") + Bytes{0}, 0, "unchanged", 77},
        {"over the cap", Le({256, cap + 1}) + Bytes(cap + 8, 'x'), 0, "unchanged", 77},
        {"length cut short", Le({256}) + Bytes{4, 0}, 0, "unchanged", 77},
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

TEST(PrefsBaseName, ReplacesLastComponent)
{
    const CString name("UiPrefs.DAT");
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Users\\taro\\Palm\\record.dat", "C:\\Users\\taro\\Palm\\UiPrefs.DAT"},
        {"C:\\Palm\\", "C:\\Palm\\UiPrefs.DAT"},
        // 0x5C as the trail byte of a double-byte character is no separator.
        {"C:\\Palm\\\x83\x5C\x83\x74\x83\x67.dat", "C:\\Palm\\UiPrefs.DAT"},
        {"C:\\Palm\\a\x83\x5C", "C:\\Palm\\UiPrefs.DAT"},
        {"C:\\\x83\x5C\\record.dat", "C:\\\x83\x5C\\UiPrefs.DAT"},
        // No folder part: the name replaces the whole path; a drive stays.
        {"record.dat", "UiPrefs.DAT"},
        {"", "UiPrefs.DAT"},
        {"C:record.dat", "C:UiPrefs.DAT"},
        // A drive is a letter, either case, A to Z, then a colon; alone, it stays.
        {"C:", "C:UiPrefs.DAT"},
        {"a:x", "a:UiPrefs.DAT"},
        {"z:x", "z:UiPrefs.DAT"},
        {"Z:x", "Z:UiPrefs.DAT"},
        {"A:", "A:UiPrefs.DAT"},
        {"@:x", "UiPrefs.DAT"},
        {"[:x", "UiPrefs.DAT"},
        {"`:x", "UiPrefs.DAT"},
        {"{:x", "UiPrefs.DAT"},
        {"1:x", "UiPrefs.DAT"},
        {":", "UiPrefs.DAT"},
        {"C", "UiPrefs.DAT"},
        {"\\", "\\UiPrefs.DAT"},
        {"C:\\", "C:\\UiPrefs.DAT"},
        {"C:\\a\x83", "C:\\UiPrefs.DAT"},   // cut inside a double-byte character
        {"\\\\server\\share\\r.dat", "\\\\server\\share\\UiPrefs.DAT"},
#if !defined(_WIN32)
        {"/home/taro/Palm/record.dat", "/home/taro/Palm/UiPrefs.DAT"},
#endif
    };
    for (const Case& c : cases) {
        CString path(c.path);
        CPrefsTable::ReplaseBaseName(path, name);
        EXPECT_STREQ(c.expected, path) << c.path;
    }
}
