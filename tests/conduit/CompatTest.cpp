// The conduit's desktop file against the data core's tools, both ways: what
// the conduit writes opens with nvmemo under the handheld's password, and
// what nvmemo adds, changes or deletes reaches the handheld and deciphers
// there. hotsync, handheld and nvmemo run as programs beside the test.
#include "SyncFixture.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

using testsupport::RunBeside;

namespace {

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Tools {
    testsupport::TempDir dir;
    std::string hh = dir.File("hh"), pc = dir.File("pc"), out = dir.File("out.txt"), in = dir.File("in.txt");
    Tools()
    {
        std::filesystem::create_directories(hh);
        std::filesystem::create_directories(pc);
        RunBeside("handheld", {hh, "create", "--password", "pw", "--hint", "hint"}, out);
    }
    int Handheld(std::vector<std::string> args, const std::string& input = "")
    {
        args.insert(args.begin(), hh);
        return RunWithInput("handheld", args, input);
    }
    int Nvmemo(std::vector<std::string> args, const std::string& input = "")
    {
        return RunWithInput("nvmemo", args, input);
    }
    int RunWithInput(const std::string& program, std::vector<std::string> args, const std::string& input)
    {
        testsupport::WriteBytes(in, std::vector<std::uint8_t>(input.begin(), input.end()));
        return RunBeside(program, args, out, in);
    }
    int HotSync(const std::string& type = "0", std::vector<std::string> more = {})
    {
        std::vector<std::string> args = {"sync", "--handheld", hh, "--folder", pc, "--file", "record.dat", "--type", type};
        args.insert(args.end(), more.begin(), more.end());
        return RunBeside("hotsync", args, out);
    }
    std::string Output() { return Read(out); }
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    return lines;
}

// "HEAD 2026-12-07 03:47:19"; sep stands between the date and the time.
bool Stamped(const std::string& line, const std::string& head, char sep = ' ')
{
    const std::string mask = head + "####-##-##" + sep + "##:##:##";
    if (line.size() != mask.size())
        return false;
    for (size_t i = 0; i < line.size(); ++i)
        if (mask[i] == '#' && i >= head.size() ? !std::isdigit(static_cast<unsigned char>(line[i])) : line[i] != mask[i])
            return false;
    return true;
}

// Just enough JSON to read hotsync's report: a value's scalar as written
// (strings unescaped), its items, its fields.
struct Json {
    std::string scalar;
    std::vector<Json> items;
    std::map<std::string, Json> fields;
    const Json& operator[](const char* key) const { return fields.at(key); }
};

bool ParseJson(const char*& p, Json& v)
{
    auto blank = [&p] { p += std::strspn(p, " \r\n"); };
    blank();
    if (*p == '{' || *p == '[') {
        const char close = *p++ == '{' ? '}' : ']';
        for (blank(); *p != close; blank(), p += *p == ',') {
            Json key, item;
            if ((close == '}' && (!ParseJson(p, key) || (blank(), *p++ != ':'))) || !ParseJson(p, item))
                return false;
            close == '}' ? void(v.fields[key.scalar] = item) : v.items.push_back(item);
        }
        return *p++ == close;
    }
    if (*p == '"') {
        for (++p; *p && *p != '"'; ++p)
            v.scalar += *p == '\\' && *++p == 'n' ? '\n' : *p;   // the escapes these texts need
        return *p++ == '"';
    }
    while (*p && !std::strchr(",]} \r\n", *p))
        v.scalar += *p++;
    return !v.scalar.empty();
}

} // namespace

TEST(Compatibility, BothWaysThroughTheTools)
{
    Tools t;
    ASSERT_EQ(0, t.Handheld({"category", "add", "Work"}));
    ASSERT_EQ(0, t.Handheld({"add", "--password", "pw", "--category", "1"}, "from the handheld"));
    ASSERT_EQ(0, t.Handheld({"add", "--password", "pw", "--private"}, "secret plan"));
    ASSERT_EQ(0, t.HotSync());
    EXPECT_NE(std::string::npos, t.Output().find("Tessaly Conduit"));

    const std::string file = t.pc + "/record.dat";
    ASSERT_EQ(0, t.Nvmemo({"list", file, "--password", "pw", "--json"}));
    std::string listed = t.Output();
    EXPECT_NE(std::string::npos, listed.find("from the handheld")) << listed;
    EXPECT_NE(std::string::npos, listed.find("secret plan")) << listed;
    EXPECT_NE(std::string::npos, listed.find("Work")) << listed;
    EXPECT_EQ(2, t.Nvmemo({"list", file, "--password", "wrong"}));

    // Desktop changes: a new memo, and one deleted.
    ASSERT_EQ(0, t.Nvmemo({"add", file, "--password", "pw", "--category", "1"}, "from the desktop"));
    ASSERT_EQ(0, t.HotSync());
    ASSERT_EQ(0, t.Handheld({"list", "--password", "pw", "--json"}));
    listed = t.Output();
    EXPECT_NE(std::string::npos, listed.find("from the desktop")) << listed;
    EXPECT_NE(std::string::npos, listed.find("from the handheld")) << listed;

    ASSERT_EQ(0, t.Nvmemo({"delete", file, "0", "--password", "pw"}));
    ASSERT_EQ(0, t.HotSync("1"));
    ASSERT_EQ(0, t.Handheld({"list", "--password", "pw", "--json"}));
    std::string afterDelete = t.Output();
    ASSERT_EQ(0, t.Nvmemo({"list", file, "--password", "pw", "--json"}));
    std::string desktop = t.Output();
    // Exactly one memo went, and the same one on both sides.
    int gone = 0;
    for (const char* memo : {"from the handheld", "secret plan", "from the desktop"}) {
        bool onHandheld = afterDelete.find(memo) != std::string::npos;
        EXPECT_EQ(onHandheld, desktop.find(memo) != std::string::npos) << memo;
        gone += onHandheld ? 0 : 1;
    }
    EXPECT_EQ(1, gone) << afterDelete;
}

TEST(Compatibility, HotSyncExitStatus)
{
    Tools t;
    EXPECT_EQ(64, RunBeside("hotsync", {"sync"}, t.out));
    EXPECT_EQ(64, RunBeside("hotsync", {"sync", "--handheld", t.hh, "--folder", t.pc, "--type", "x"}, t.out));
    EXPECT_EQ(0, t.HotSync("6"));
    for (const char* bad : {"--creator", "--db-type"})
        EXPECT_EQ(64, t.HotSync("0", {bad, "Vqx"})) << bad;
    EXPECT_EQ(64, t.HotSync("0", {"--fail", "SyncNoSuchCall"}));

    // A desktop folder that cannot be made leaves the handheld as it was,
    // its dirty record too.
    ASSERT_EQ(0, t.Handheld({"add", "--password", "pw"}, "dirty"));
    const auto before = testsupport::ReadBytes(t.hh + "/Tessaly-Vqxa.pdb");
    testsupport::WriteBytes(t.dir.File("file"), {1});
    EXPECT_EQ(1, RunBeside("hotsync", {"sync", "--handheld", t.hh, "--folder", t.dir.File("file/pc")}, t.out));
    EXPECT_EQ(before, testsupport::ReadBytes(t.hh + "/Tessaly-Vqxa.pdb"));
    EXPECT_EQ("", t.Output());

    // A Shift-JIS folder name whose trail byte is a backslash is one folder.
    const std::string sjis = t.dir.File("\x95\x5c") + "/pc";
    EXPECT_EQ(0, RunBeside("hotsync", {"sync", "--handheld", t.hh, "--folder", sjis}, t.out));
    EXPECT_FALSE(testsupport::ReadBytes(sjis + "/GenericDB.DAT").empty());
}

// The log as a person reads it: the start, each entry marked by its activity
// code, the outcome; each step acts on the handheld and desktop of the one before.
TEST(Compatibility, TheHotSyncLog)
{
    Tools t;
    t.pc = t.dir.File("Hanako/Tessaly");   // not there yet: the first operation makes it
    ASSERT_EQ(0, t.Handheld({"category", "add", "Work"}));
    ASSERT_EQ(0, t.Handheld({"add", "--password", "pw", "--category", "1"}, "memo"));
    const struct {
        std::function<void()> before;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> entries;
        const char* outcome;
    } steps[] = {
        {[] {}, {}, 0, {"OK Tessaly Conduit"}, "completed"},
        {[&t] {
             t.Handheld({"edit", "1", "--password", "pw"}, "changed");
             t.Handheld({"category", "delete", "1"});
             t.Nvmemo({"delete", t.pc + "/record.dat", "0", "--password", "pw"});
         },
         {},
         0,
         {"Warning: -- Remote category Work has been deleted. The records in this category have been moved to "
          "'Unfiled'.",
          "Conflict: The following record, Record ID 1,  was modified on one platform and deleted on the other. The "
          "modified version will appear on both platforms.",
          "OK Tessaly Conduit"},
         "completed with messages"},
        {[] {},
         {"--fail", "SyncResetSyncFlags"},
         1,
         {"Error: Could not clear Palm organizer's status flags. Error Code 4001", "Failed Tessaly Conduit (error 16385)"},
         "failed"},
        {[] {}, {"--type", "9"}, 1, {"Failed Tessaly Conduit (error 4371)"}, "failed"},
    };
    for (const auto& step : steps) {
        step.before();
        EXPECT_EQ(step.status, t.HotSync("0", step.args)) << step.outcome;
        std::vector<std::string> lines = Lines(t.Output());
        ASSERT_GE(lines.size(), 2u) << t.Output();
        EXPECT_TRUE(Stamped(lines.front(), "HotSync operation started ")) << lines.front();
        EXPECT_TRUE(Stamped(lines.back(), "HotSync operation " + std::string(step.outcome) + " ")) << lines.back();
        EXPECT_EQ(step.entries, std::vector<std::string>(lines.begin() + 1, lines.end() - 1));
    }
    EXPECT_TRUE(testsupport::FileExists(t.pc + "/record.dat"));

    // The same failure for scripts: every entry with its activity code.
    ASSERT_EQ(1, t.HotSync("0", {"--fail", "SyncResetSyncFlags", "--json"}));
    const std::string text = t.Output();
    const char* p = text.c_str();
    Json report;
    ASSERT_TRUE(ParseJson(p, report)) << text;
    EXPECT_EQ("failed", report["outcome"].scalar);
    EXPECT_EQ("null", report["user"].scalar);
    EXPECT_TRUE(Stamped(report["started"].scalar, "", 'T') && Stamped(report["ended"].scalar, "", 'T')) << text;
    ASSERT_EQ(1u, report["conduits"].items.size());
    const Json& conduit = report["conduits"].items[0];
    EXPECT_EQ("Tessaly Conduit", conduit["name"].scalar);
    EXPECT_EQ("16385", conduit["result"].scalar);
    std::vector<std::string> entries;
    for (const Json& e : conduit["entries"].items)
        entries.push_back(e["activity"].scalar + " " + e["text"].scalar);
    EXPECT_EQ((std::vector<std::string>{"19 ", "20 ", "19 ",
                                        "18 Could not clear Palm organizer's status flags. Error Code 4001",
                                        "21 Tessaly Conduit"}),
              entries);
}

// A database of another application, recreated from the desktop under the
// creator ID and type given.
TEST(Compatibility, HotSyncForAnotherApplication)
{
    Tools t;
    tessaly::PdbDatabase db;
    db.name = "OtherDB";
    db.creator = tessaly::FourCC("Othr");
    db.type = tessaly::FourCC("Memo");
    db.uniqueIdSeed = 10;
    db.hasAppInfo = true;
    db.appInfo = synctest::CategoryBlock({});
    db.records.push_back({0x40, 1, 0, 0, synctest::B("note")});
    const std::string path = t.hh + "/OtherDB.pdb";
    ASSERT_EQ(tessaly::PdbResult::OK, tessaly::WritePdbFile(path, db));
    for (const char* type : {"0", "3"})   // handheld to the new desktop file, then back
        ASSERT_EQ(0, RunBeside("hotsync", {"sync", "--handheld", t.hh, "--folder", t.pc, "--file", "other.dat", "--db",
                                           "OtherDB", "--creator", "Othr", "--db-type", "Memo", "--type", type},
                               t.out))
            << type;
    tessaly::PdbDatabase back;
    ASSERT_EQ(tessaly::PdbResult::OK, tessaly::ReadPdbFile(path, back));
    EXPECT_EQ("Othr", tessaly::FourCCText(back.creator));
    EXPECT_EQ("Memo", tessaly::FourCCText(back.type));
    EXPECT_EQ(std::vector<std::string>{"1:note:0"}, synctest::Summary(back));
}
