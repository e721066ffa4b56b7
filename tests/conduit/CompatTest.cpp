// The conduit's desktop file against the data core's tools, both ways: what
// the conduit writes opens with nvmemo under the handheld's password, and
// what nvmemo adds or deletes reaches the handheld (an added memo deciphers
// there). hotsync, handheld and nvmemo run as programs beside the test.
#include "SyncFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

using testsupport::RunBeside;

namespace {

struct Tools : synctest::World {
    std::string hh = Handheld(), pc = Desktop(), out = dir.File("out.txt"), in = dir.File("in.txt");
    Tools() { RunBeside("handheld", {hh, "create", "--password", "pw", "--hint", "hint"}, out); }
    int Run(const std::string& program, const std::vector<std::string>& args, const std::string& input = "")
    {
        testsupport::WriteBytes(in, synctest::B(input));
        return RunBeside(program, args, out, in);
    }
    int HotSync(const std::string& type = "0", const std::vector<std::string>& more = {})
    {
        std::vector<std::string> args = {"sync", "--handheld", hh, "--folder", pc, "--file", "record.dat", "--type", type};
        args.insert(args.end(), more.begin(), more.end());
        return RunBeside("hotsync", args, out);
    }
    // Without carriage returns, each time stamp as "####-##-## ##:##:##" (a T between in JSON).
    std::string Output()
    {
        std::string s = synctest::S(testsupport::ReadBytes(out));
        s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
        const std::string shape = "0000-00-00 00:00:00";
        for (size_t i = 0; i + shape.size() <= s.size(); ++i) {
            size_t k = 0;
            for (; k < shape.size(); ++k)
                if (shape[k] == '0' ? !isdigit(static_cast<unsigned char>(s[i + k])) : k != 10 && s[i + k] != shape[k])
                    break;
            if (k == shape.size() && (s[i + 10] == ' ' || s[i + 10] == 'T'))
                for (k = 0; k < shape.size(); ++k)
                    if (shape[k] == '0')
                        s[i + k] = '#';
        }
        return s;
    }
};

} // namespace

TEST(Compatibility, HotSyncExitStatus)
{
    Tools t;
    EXPECT_EQ(64, RunBeside("hotsync", {"sync"}, t.out));
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--type", "x"}, {"--creator", "Vqx"}, {"--db-type", "Vqx"}, {"--fail", "SyncNoSuchCall"}})
        EXPECT_EQ(64, t.HotSync("0", bad)) << bad[0];

    // A desktop folder that cannot be made leaves the handheld as it was,
    // its dirty record too.
    ASSERT_EQ(0, t.Run("handheld", {t.hh, "add", "--password", "pw"}, "dirty"));
    const auto before = testsupport::ReadBytes(t.PdbPath());
    testsupport::WriteBytes(t.dir.File("file"), {1});
    EXPECT_EQ(1, RunBeside("hotsync", {"sync", "--handheld", t.hh, "--folder", t.dir.File("file/pc")}, t.out));
    EXPECT_EQ(before, testsupport::ReadBytes(t.PdbPath()));
    EXPECT_EQ("", t.Output());

    // A Shift-JIS folder name whose trail byte is a backslash is one folder.
    const std::string sjis = t.dir.File("\x95\x5c") + "/pc";
    EXPECT_EQ(0, RunBeside("hotsync", {"sync", "--handheld", t.hh, "--folder", sjis}, t.out));
    EXPECT_FALSE(testsupport::ReadBytes(sjis + "/GenericDB.DAT").empty());
}

// The handheld's memos through the conduit to nvmemo and back, and the log
// as a person reads it: the start, each entry marked by its activity code,
// the outcome. Each step acts on the handheld and desktop of the one before.
TEST(Compatibility, ThroughTheToolsWithTheHotSyncLog)
{
    Tools t;
    t.pc = t.dir.File("Hanako/Tessaly");   // not there yet: the first operation makes it
    const std::string file = t.pc + "/record.dat";
    ASSERT_EQ(0, t.Run("handheld", {t.hh, "category", "add", "Work"}));
    ASSERT_EQ(0, t.Run("handheld", {t.hh, "add", "--password", "pw", "--category", "1"}, "memo"));
    ASSERT_EQ(0, t.Run("handheld", {t.hh, "add", "--password", "pw", "--private"}, "secret plan"));
    auto step = [&t](int status, const std::vector<std::string>& args, const std::string& entries, const char* outcome) {
        EXPECT_EQ(status, t.HotSync("0", args)) << outcome;
        EXPECT_EQ("HotSync operation started ####-##-## ##:##:##\n" + entries + "HotSync operation " + outcome +
                      " ####-##-## ##:##:##\n",
                  t.Output());
    };
    step(0, {}, "OK Tessaly Conduit\n", "completed");
    // The desktop file opens with nvmemo under the handheld's password, the private memo too.
    ASSERT_EQ(0, t.Run("nvmemo", {"list", file, "--password", "pw", "--json"}));
    const std::string listed = t.Output();
    for (const char* text : {"memo", "secret plan", "Work"})
        EXPECT_NE(std::string::npos, listed.find(text)) << listed;
    EXPECT_EQ(2, t.Run("nvmemo", {"list", file, "--password", "wrong"}));
    ASSERT_EQ(0, t.Run("nvmemo", {"add", file, "--password", "pw", "--category", "1"}, "from the desktop"));
    t.Run("handheld", {t.hh, "edit", "1", "--password", "pw"}, "changed");
    t.Run("handheld", {t.hh, "category", "delete", "1"});
    t.Run("nvmemo", {"delete", file, "0", "--password", "pw"});
    step(0, {},
         "Warning: -- Remote category Work has been deleted. The records in this category have been moved to "
         "'Unfiled'.\nConflict: The following record, Record ID 1,  was modified on one platform and deleted on the "
         "other. The modified version will appear on both platforms.\nOK Tessaly Conduit\n",
         "completed with messages");
    // nvmemo's memo deciphers on the handheld.
    ASSERT_EQ(0, t.Run("handheld", {t.hh, "list", "--password", "pw", "--json"}));
    EXPECT_NE(std::string::npos, t.Output().find("from the desktop")) << t.Output();
    step(1, {"--fail", "SyncResetSyncFlags"},
         "Error: Could not clear Palm organizer's status flags. Error Code 4001\nFailed Tessaly Conduit (error 16385)\n",
         "failed");
    step(1, {"--type", "9"}, "Failed Tessaly Conduit (error 4371)\n", "failed");

    // The same failure for scripts: every entry with its activity code.
    ASSERT_EQ(1, t.HotSync("0", {"--fail", "SyncResetSyncFlags", "--json"}));
    EXPECT_EQ(R"({"started": "####-##-##T##:##:##", "user": null, "conduits": [{"name": "Tessaly Conduit", )"
              R"("loaded": true, "result": 16385, "entries": [{"activity": 19, "text": ""}, {"activity": 20, )"
              R"("text": ""}, {"activity": 19, "text": ""}, {"activity": 18, "text": "Could not clear Palm )"
              R"(organizer's status flags. Error Code 4001"}, {"activity": 21, "text": "Tessaly Conduit"}]}], )"
              R"("outcome": "failed", "ended": "####-##-##T##:##:##"})"
              "\n",
              t.Output());
}

// A database of another application: a desktop file made from it, with its
// name, app-info block and records, then the database recreated from the
// desktop under the creator ID and type given.
TEST(Compatibility, HotSyncForAnotherApplication)
{
    Tools t;
    tessaly::PdbDatabase db = t.NewHandheld(synctest::CategoryBlock({}, "digest"));
    db.name = "OtherDB";
    db.creator = tessaly::FourCC("Othr");
    db.type = tessaly::FourCC("Memo");
    db.records.push_back(synctest::Rec(1, "note", 0, 0x40));
    const std::string path = t.hh + "/OtherDB.pdb";
    ASSERT_EQ(tessaly::PdbResult::OK, tessaly::WritePdbFile(path, db));
    for (const char* type : {"0", "3"}) {
        ASSERT_EQ(0, t.HotSync(type, {"--file", "other.dat", "--db", "OtherDB", "--creator", "Othr", "--db-type", "Memo"}))
            << type;
        synctest::DeskFile made;
        ASSERT_TRUE(synctest::ParseDeskFile(testsupport::ReadBytes(t.pc + "/other.dat"), made));
        EXPECT_EQ("OtherDB", made.name);
        EXPECT_EQ(db.appInfo, made.appInfo);
        EXPECT_EQ(std::vector<std::string>{"1:note:0"}, synctest::Summary(made));
    }
    tessaly::PdbDatabase back;
    ASSERT_EQ(tessaly::PdbResult::OK, tessaly::ReadPdbFile(path, back));
    EXPECT_EQ("Othr", tessaly::FourCCText(back.creator));
    EXPECT_EQ("Memo", tessaly::FourCCText(back.type));
    EXPECT_EQ(std::vector<std::string>{"1:note:0"}, synctest::Summary(back));
}
