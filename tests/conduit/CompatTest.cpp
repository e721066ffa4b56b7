// The conduit's desktop file against the data core's tools, both ways: what
// the conduit writes opens with nvmemo under the handheld's password, and
// what nvmemo adds, changes or deletes reaches the handheld and deciphers
// there. hotsync, handheld and nvmemo run as programs beside the test.
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
    int HotSync(const std::string& type = "0")
    {
        return RunBeside("hotsync", {"sync", "--handheld", hh, "--folder", pc, "--file", "record.dat", "--type", type},
                         out);
    }
    std::string Output() { return Read(out); }
};

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
    ASSERT_EQ(0, t.Nvmemo({"list", file, "--password", "pw"}));
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
    EXPECT_EQ(1, t.HotSync("9"));
    EXPECT_NE(std::string::npos, t.Output().find("4371")) << t.Output();
    EXPECT_EQ(0, t.HotSync("6"));
}
