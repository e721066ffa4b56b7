// The stand-in DLLs export exactly the host's names and ordinals, and a
// client built against their import libraries imports by ordinal where the
// host's DLLs have no names. Read from the PE files themselves.
#include "PeFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using testsupport::PeFile;

std::string Beside(const char* file)
{
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string p(buf, n);
    return p.substr(0, p.find_last_of("\\/") + 1) + file;
}

struct Expected {
    const char* file;
    std::set<unsigned> byOrdinal;
    std::set<std::string> byName;
};

TEST(ExportsTest, TheStandInsExportExactlyTheHostsNamesAndOrdinals)
{
    const Expected dlls[] = {
        {"SYNC20.dll",
         {22, 23, 26, 27, 28, 29, 31, 32, 33, 35, 36, 37, 38, 39, 40, 43},
         {"SyncReadSystemInfo", "SyncGetDBRecordCount", "SyncChangeCategory", "SyncPurgeAllRecsInCategory",
          "SyncDeleteResourceRec", "SyncReadNextRecInCategory", "SyncReadDBSortInfoBlock", "SyncReadPositionXMap",
          "TessalyHostServeFolder", "TessalyHostFailCall", "TessalyHostClearFailures", "TessalyHostDeferWrites"}},
        {"HSLOG20.dll", {52, 56}, {"TessalyHostLogToFile", "TessalyHostLogEntry"}},
        {"PalmCmn.dll", {2, 3}, {}},
    };
    for (const Expected& e : dlls) {
        PeFile pe(Beside(e.file));
        ASSERT_TRUE(pe.Ok()) << e.file;
        std::string name;
        std::map<unsigned, std::string> exports = pe.Exports(name);
        EXPECT_STREQ(e.file, name.c_str());
        std::set<unsigned> unnamed;
        std::set<std::string> named;
        for (const auto& [ordinal, n] : exports) {
            if (n.empty()) {
                unnamed.insert(ordinal);
            } else {
                named.insert(n);
                EXPECT_EQ(0u, e.byOrdinal.count(ordinal)) << e.file << ": " << n << " takes a host ordinal";
            }
        }
        EXPECT_EQ(e.byOrdinal, unnamed) << e.file;
        EXPECT_EQ(e.byName, named) << e.file;
    }
}

TEST(ExportsTest, ClientsImportByOrdinalWhereTheHostHasNoNames)
{
    PeFile self(Beside("host_test.exe"));
    ASSERT_TRUE(self.Ok());
    std::set<std::string> sync = self.Imports("SYNC20.dll");
    EXPECT_TRUE(sync.count("#26")) << "open database";
    EXPECT_TRUE(sync.count("#32")) << "write record";
    EXPECT_TRUE(sync.count("SyncReadPositionXMap"));
    EXPECT_FALSE(sync.count("SyncOpenDB"));
    std::set<std::string> log = self.Imports("HSLOG20.dll");
    EXPECT_EQ((std::set<std::string>{"#52", "#56", "TessalyHostLogEntry", "TessalyHostLogToFile"}), log);
    EXPECT_EQ((std::set<std::string>{"#2", "#3"}), self.Imports("PalmCmn.dll"));
}

} // namespace
