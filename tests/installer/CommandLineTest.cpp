#include "CommandLine.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

using ravelin::CommandLine;
using ravelin::ParseCommandLine;

namespace {

struct Parsed {
    CommandLine cl;
    std::string errors;
};

Parsed Parse(std::initializer_list<const char*> args)
{
    std::vector<const char*> argv(args);
    CString errors;
    Parsed p;
    p.cl = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), errors);
    p.errors = errors.GetString();
    return p;
}

} // namespace

TEST(CommandLine, DefaultsAndLastModeWins)
{
    Parsed p = Parse({"Ravelin"});
    EXPECT_TRUE(p.cl.bInstall);
    EXPECT_FALSE(p.cl.bUsage);
    EXPECT_STREQ(p.cl.strIniName, "Ravelin.ini");
    EXPECT_EQ(p.errors, "");

    EXPECT_FALSE(Parse({"Ravelin", "-i", "-u"}).cl.bInstall);
    EXPECT_TRUE(Parse({"Ravelin", "-u", "-i"}).cl.bInstall);
    EXPECT_FALSE(Parse({"Ravelin", "-iu"}).cl.bInstall);
    EXPECT_TRUE(Parse({"Ravelin", "-ui"}).cl.bInstall);
    EXPECT_TRUE(Parse({"Ravelin", "-u", "-h"}).cl.bUsage);
}

TEST(CommandLine, ValueOfF)
{
    EXPECT_STREQ(Parse({"R", "-f", "a.ini"}).cl.strIniName, "a.ini");
    EXPECT_STREQ(Parse({"R", "-fa.ini"}).cl.strIniName, "a.ini");
    // Grouped: -i and -f in one argument, the name in the next.
    Parsed p = Parse({"R", "-uf", "b.ini"});
    EXPECT_FALSE(p.cl.bInstall);
    EXPECT_STREQ(p.cl.strIniName, "b.ini");
    // The rest of the group is the value, not more options.
    p = Parse({"R", "-fu"});
    EXPECT_TRUE(p.cl.bInstall);
    EXPECT_STREQ(p.cl.strIniName, "u");
    // The next argument is the value even when it looks like an option.
    p = Parse({"R", "-f", "-u"});
    EXPECT_TRUE(p.cl.bInstall);
    EXPECT_STREQ(p.cl.strIniName, "-u");
    // Later -f overrides.
    EXPECT_STREQ(Parse({"R", "-f", "a.ini", "-f", "c.ini"}).cl.strIniName, "c.ini");
}

TEST(CommandLine, StopsAtNonOptionLoneDashAndDoubleDash)
{
    Parsed p = Parse({"R", "x.ini", "-u"});
    EXPECT_TRUE(p.cl.bInstall);
    p = Parse({"R", "-", "-u"});
    EXPECT_TRUE(p.cl.bInstall);
    p = Parse({"R", "--", "-u"});
    EXPECT_TRUE(p.cl.bInstall);
    p = Parse({"R", "-u", "--", "-i", "-h"});
    EXPECT_FALSE(p.cl.bInstall);
    EXPECT_FALSE(p.cl.bUsage);
    EXPECT_EQ(p.errors, "");
    // "---" is not "--": its letters are options, and "-" is not one of them.
    p = Parse({"R", "---"});
    EXPECT_EQ(p.errors, "R: illegal option -- -\nR: illegal option -- -\n");
}

TEST(CommandLine, ComplaintsGoOutAndParsingGoesOn)
{
    Parsed p = Parse({"C:\\Setup\\Ravelin.exe", "-x", "-u"});
    EXPECT_EQ(p.errors, "C:\\Setup\\Ravelin.exe: illegal option -- x\n");
    EXPECT_FALSE(p.cl.bInstall);

    // A colon is never an option letter, though it stands in the option string.
    p = Parse({"R", "-:"});
    EXPECT_EQ(p.errors, "R: illegal option -- :\n");

    // Inside a group the letters after a bad one still count.
    p = Parse({"R", "-xuy"});
    EXPECT_EQ(p.errors, "R: illegal option -- x\nR: illegal option -- y\n");
    EXPECT_FALSE(p.cl.bInstall);

    // -f at the end keeps the default name.
    p = Parse({"R", "-f", "a.ini", "-u", "-f"});
    EXPECT_EQ(p.errors, "R: option requires an argument -- f\n");
    EXPECT_STREQ(p.cl.strIniName, "a.ini");
    p = Parse({"R", "-uf"});
    EXPECT_EQ(p.errors, "R: option requires an argument -- f\n");
    EXPECT_STREQ(p.cl.strIniName, "Ravelin.ini");
    EXPECT_FALSE(p.cl.bInstall);
}

TEST(CommandLine, NoArgumentsAtAll)
{
    CString errors;
    CommandLine cl = ParseCommandLine(0, nullptr, errors);
    EXPECT_TRUE(cl.bInstall);
    const char* argv[] = {"R", nullptr};
    cl = ParseCommandLine(3, argv, errors);   // a null entry ends the list
    EXPECT_TRUE(cl.bInstall);
    EXPECT_TRUE(errors.IsEmpty());
}

TEST(IniPath, ProgramDirectoryPlusValueAsGiven)
{
    CString path;
    EXPECT_TRUE(ravelin::BuildIniPath("C:\\Setup\\Ravelin.exe", "Ravelin.ini", path));
    EXPECT_STREQ(path, "C:\\Setup\\Ravelin.ini");
    EXPECT_TRUE(ravelin::BuildIniPath("C:\\Setup\\Ravelin.exe", "sub\\x.ini", path));
    EXPECT_STREQ(path, "C:\\Setup\\sub\\x.ini");
    // An absolute value is appended all the same.
    EXPECT_TRUE(ravelin::BuildIniPath("C:\\Setup\\Ravelin.exe", "D:\\x.ini", path));
    EXPECT_STREQ(path, "C:\\Setup\\D:\\x.ini");
    // No backslash at all: the value alone.
    EXPECT_TRUE(ravelin::BuildIniPath("Ravelin.exe", "x.ini", path));
    EXPECT_STREQ(path, "x.ini");
}

TEST(IniPath, TrailByteThatLooksLikeABackslash)
{
    // "表" in Shift-JIS is 0x95 0x5C: a byte-wise search would cut inside it.
    CString path;
    EXPECT_TRUE(ravelin::BuildIniPath("C:\\Setup\\\x95\x5C.exe", "a.ini", path));
    EXPECT_STREQ(path, "C:\\Setup\\a.ini");
}

TEST(IniPath, PathLimitCountsTheTerminator)
{
    std::string dir = "C:\\Setup\\";
    std::string exe = dir + "Ravelin.exe";
    CString path;
    std::string fits(259 - dir.size(), 'a');
    EXPECT_TRUE(ravelin::BuildIniPath(exe.c_str(), fits.c_str(), path));
    EXPECT_EQ(path.GetLength(), 259);
    std::string tooLong(260 - dir.size(), 'a');
    EXPECT_FALSE(ravelin::BuildIniPath(exe.c_str(), tooLong.c_str(), path));
}
