// The stand-in DLLs export exactly the host's names and ordinals, and a
// client built against their import libraries imports by ordinal where the
// host's DLLs have no names. Read from the PE files themselves.
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

class PeFile {
public:
    explicit PeFile(const std::string& path) : m_b(testsupport::ReadBytes(path))
    {
        if (m_b.size() < 0x40)
            return;
        std::size_t pe = U32(0x3C);
        if (pe + 24 > m_b.size() || U32(pe) != 0x00004550)
            return;
        std::size_t sections = U16(pe + 6);
        std::size_t optSize = U16(pe + 20);
        std::size_t opt = pe + 24;
        if (U16(opt) != 0x10B)   // PE32
            return;
        m_exportRva = U32(opt + 96);
        m_importRva = U32(opt + 104);
        for (std::size_t i = 0; i < sections; ++i) {
            std::size_t s = opt + optSize + 40 * i;
            m_sections.push_back({U32(s + 12), std::max(U32(s + 8), U32(s + 16)), U32(s + 20)});
        }
        m_ok = true;
    }
    bool Ok() const { return m_ok; }

    // Ordinal -> name ("" for an export without a name).
    std::map<unsigned, std::string> Exports(std::string& dllName) const
    {
        std::map<unsigned, std::string> out;
        std::size_t d = Offset(m_exportRva);
        dllName = Str(U32(d + 12));
        unsigned base = U32(d + 16), functions = U32(d + 20), names = U32(d + 24);
        std::size_t funcs = Offset(U32(d + 28)), nameRvas = Offset(U32(d + 32)), ords = Offset(U32(d + 36));
        for (unsigned i = 0; i < functions; ++i)
            if (U32(funcs + 4 * i) != 0)
                out[base + i] = "";
        for (unsigned i = 0; i < names; ++i)
            out[base + U16(ords + 2 * i)] = Str(U32(nameRvas + 4 * i));
        return out;
    }

    // What a program takes from one DLL: "#n" for ordinals, else names.
    std::set<std::string> Imports(const std::string& dll) const
    {
        std::set<std::string> out;
        for (std::size_t d = Offset(m_importRva); U32(d + 12) != 0; d += 20) {
            if (_stricmp(Str(U32(d + 12)).c_str(), dll.c_str()) != 0)
                continue;
            std::uint32_t thunks = U32(d) ? U32(d) : U32(d + 16);
            for (std::size_t t = Offset(thunks); U32(t) != 0; t += 4) {
                std::uint32_t v = U32(t);
                out.insert(v & 0x80000000u ? "#" + std::to_string(v & 0xFFFF) : Str(v + 2));
            }
        }
        return out;
    }

private:
    struct Section {
        std::uint32_t rva, size, raw;
    };
    std::uint32_t U32(std::size_t at) const
    {
        return at + 4 <= m_b.size() ? m_b[at] | (m_b[at + 1] << 8) | (m_b[at + 2] << 16) | (std::uint32_t(m_b[at + 3]) << 24)
                                    : 0;
    }
    std::uint16_t U16(std::size_t at) const
    {
        return at + 2 <= m_b.size() ? static_cast<std::uint16_t>(m_b[at] | (m_b[at + 1] << 8)) : 0;
    }
    std::size_t Offset(std::uint32_t rva) const
    {
        for (const Section& s : m_sections)
            if (rva >= s.rva && rva < s.rva + s.size)
                return rva - s.rva + s.raw;
        return m_b.size();
    }
    std::string Str(std::uint32_t rva) const
    {
        std::string s;
        for (std::size_t at = Offset(rva); at < m_b.size() && m_b[at]; ++at)
            s += static_cast<char>(m_b[at]);
        return s;
    }

    std::vector<std::uint8_t> m_b;
    std::vector<Section> m_sections;
    std::uint32_t m_exportRva = 0, m_importRva = 0;
    bool m_ok = false;
};

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
