// The HotSync log and the language-library stand-ins.
#include "HsLog.h"
#include "PalmCmn.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(HsLogTest, EntriesAreCountedAndAppendedOneLineEach)
{
    testsupport::TempDir dir;
    const std::string path = dir.File("HotSync Log.txt");
    ASSERT_EQ(0, TessalyHostLogToFile(path.c_str()));
    EXPECT_EQ(0, HsLogCount()) << "0 while nothing has been logged";
    EXPECT_EQ(0, HsLogAddEntry("", 19, 0));
    EXPECT_EQ(0, HsLogAddEntry("two\r\nlines", -1, 0));
    EXPECT_EQ(0, HsLogAddEntry("Tessaly", 20, 0));
    EXPECT_EQ(3, HsLogCount());

    std::ifstream in(path, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ("19\t\n-1\ttwo  lines\n20\tTessaly\n", all);

    int32_t activity = 0;
    char text[8];
    ASSERT_EQ(0, TessalyHostLogEntry(1, &activity, text, sizeof text));
    EXPECT_EQ(-1, activity);
    EXPECT_STREQ("two\r\nli", text) << "cut to the buffer, NUL included";
    EXPECT_EQ(-1, TessalyHostLogEntry(3, &activity, text, sizeof text));

    // A log that cannot be written still counts the entry and says so.
    ASSERT_EQ(0, TessalyHostLogToFile(dir.File("no/such/folder/log.txt").c_str()));
    EXPECT_EQ(-1, HsLogAddEntry("x", 2, 0));
    EXPECT_EQ(1, HsLogCount());
    TessalyHostLogToFile(nullptr);
}

#if defined(_WIN32)
TEST(PalmCmnTest, LoadsTheLanguageLibraryBesideTheModuleOrFallsBackToTheModule)
{
    HINSTANCE self = GetModuleHandleA(nullptr);
    uint32_t loaded = 7;
    EXPECT_EQ(self, PalmLoadLanguage("NoSuchLanguage.dll", self, &loaded));
    EXPECT_EQ(0u, loaded);
    EXPECT_EQ(self, PalmLoadLanguage(nullptr, self, nullptr));

    HINSTANCE lang = PalmLoadLanguage("TestLanguage.dll", self, &loaded);
    ASSERT_NE(self, lang);
    EXPECT_EQ(1u, loaded);
    char text[64] = {};
    EXPECT_GT(LoadStringA(lang, 3311, text, sizeof text), 0);
    EXPECT_STREQ("from the language library", text);
    EXPECT_EQ(0, PalmFreeLanguage(lang, self));
    EXPECT_EQ(0, PalmFreeLanguage(self, self)) << "the module's own instance is left alone";
}
#else
TEST(PalmCmnTest, NativelyResourcesComeFromTheModuleItself)
{
    int module = 0;
    uint32_t loaded = 7;
    EXPECT_EQ(&module, PalmLoadLanguage("Lang.dll", &module, &loaded));
    EXPECT_EQ(0u, loaded);
    EXPECT_EQ(0, PalmFreeLanguage(&module, &module));
}
#endif
