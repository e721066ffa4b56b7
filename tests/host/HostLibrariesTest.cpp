// The HotSync log and the language-library stand-ins, and what the stand-in
// DLLs export: exactly the host's names and ordinals, read from the PE files
// themselves. Their import libraries come from the same .def files, so
// clients import by ordinal where the host's DLLs have no names.
#include "HsLog.h"
#include "PalmCmn.h"
#include "TestFiles.h"
#if defined(_WIN32)
#include "PeFile.h"
#endif

#include <gtest/gtest.h>

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
    const std::vector<std::uint8_t> file = testsupport::ReadBytes(path);
    EXPECT_EQ("19\t\n-1\ttwo  lines\n20\tTessaly\n", std::string(file.begin(), file.end()));

    int32_t activity = 0;
    char text[16];
    ASSERT_EQ(0, TessalyHostLogEntry(1, &activity, text, 10));
    EXPECT_EQ(-1, activity);
    EXPECT_STREQ("two\r\nline", text) << "cut to the buffer, NUL included";
    EXPECT_EQ(-1, TessalyHostLogEntry(3, &activity, text, sizeof text));

    // A log that cannot be written still counts the entry and says so.
    ASSERT_EQ(0, TessalyHostLogToFile(dir.File("no/such/folder/log.txt").c_str()));
    EXPECT_EQ(-1, HsLogAddEntry("x", 2, 0));
    EXPECT_EQ(1, HsLogCount());
    TessalyHostLogToFile(nullptr);
}

#if defined(_WIN32)
// Any library beside the test program will do as a language library.
TEST(PalmCmnTest, LoadsTheLanguageLibraryBesideTheModuleOrFallsBackToTheModule)
{
    HINSTANCE self = GetModuleHandleA(nullptr);
    uint32_t loaded = 7;
    EXPECT_EQ(self, PalmLoadLanguage("NoSuchLanguage.dll", self, &loaded));
    EXPECT_EQ(0u, loaded);
    EXPECT_EQ(self, PalmLoadLanguage(nullptr, self, nullptr));
    HINSTANCE lang = PalmLoadLanguage("HSLOG20.dll", self, &loaded);
    EXPECT_EQ(GetModuleHandleA("HSLOG20.dll"), lang);
    EXPECT_EQ(1u, loaded);
    EXPECT_EQ(0, PalmFreeLanguage(lang, self));
    EXPECT_EQ(0, PalmFreeLanguage(self, self)) << "the module's own instance is left alone";
}

TEST(ExportsTest, TheStandInsExportExactlyTheHostsNamesAndOrdinals)
{
    const struct {
        const char* file;
        std::set<unsigned> byOrdinal;
        std::set<std::string> byName;
    } dlls[] = {
        {"SYNC20.dll",
         {22, 23, 26, 27, 28, 29, 31, 32, 33, 35, 36, 37, 38, 39, 40, 43},
         {"SyncReadSystemInfo", "SyncGetDBRecordCount", "SyncChangeCategory", "SyncPurgeAllRecsInCategory",
          "SyncDeleteResourceRec", "SyncReadNextRecInCategory", "SyncReadDBSortInfoBlock", "SyncReadPositionXMap",
          "TessalyHostServeFolder", "TessalyHostFailCall", "TessalyHostClearFailures", "TessalyHostDeferWrites"}},
        {"HSLOG20.dll", {52, 56}, {"TessalyHostLogToFile", "TessalyHostLogEntry"}},
        {"PalmCmn.dll", {2, 3}, {}},
    };
    for (const auto& e : dlls) {
        char path[MAX_PATH];
        testsupport::PeFile pe(std::string(path, GetModuleFileNameA(GetModuleHandleA(e.file), path, MAX_PATH)));
        ASSERT_TRUE(pe.Ok()) << e.file;
        std::string name;
        std::set<unsigned> unnamed;
        std::set<std::string> named;
        for (const auto& [ordinal, n] : pe.Exports(name)) {
            if (n.empty())
                unnamed.insert(ordinal);
            else
                named.insert(n);
        }
        EXPECT_EQ(e.file, name);
        EXPECT_EQ(e.byOrdinal, unnamed) << e.file;
        EXPECT_EQ(e.byName, named) << e.file;
    }
}
#endif
