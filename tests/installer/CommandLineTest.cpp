#include "CommandLine.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Each command line with the mode, usage flag, settings name and complaints
// it gives: options group, the last mode wins, -f takes the rest of its
// argument or the next one, and parsing stops at the first non-option.
TEST(CommandLine, Table)
{
    struct Case {
        std::vector<const char*> args;
        bool install, usage;
        const char* ini;
        std::string errors;
    } const cases[] = {
        {{"R"}, true, false, "Ravelin.ini", ""},
        {{"R", "-i", "-u"}, false, false, "Ravelin.ini", ""},
        {{"R", "-u", "-i"}, true, false, "Ravelin.ini", ""},
        {{"R", "-iu"}, false, false, "Ravelin.ini", ""},
        {{"R", "-ui"}, true, false, "Ravelin.ini", ""},
        {{"R", "-u", "-h"}, false, true, "Ravelin.ini", ""},
        {{"R", "-f", "a.ini"}, true, false, "a.ini", ""},
        {{"R", "-fa.ini"}, true, false, "a.ini", ""},
        {{"R", "-uf", "b.ini"}, false, false, "b.ini", ""},
        {{"R", "-fu"}, true, false, "u", ""},          // the rest of the group is the value
        {{"R", "-f", "-u"}, true, false, "-u", ""},    // the next argument, even like an option
        {{"R", "-f", "a.ini", "-f", "c.ini"}, true, false, "c.ini", ""},
        {{"R", "x.ini", "-u"}, true, false, "Ravelin.ini", ""},
        {{"R", "-", "-u"}, true, false, "Ravelin.ini", ""},
        {{"R", "--", "-u"}, true, false, "Ravelin.ini", ""},
        {{"R", "-u", "--", "-i", "-h"}, false, false, "Ravelin.ini", ""},
        // "---" is not "--": its letters are options, and "-" is not one of them.
        {{"R", "---"}, true, false, "Ravelin.ini", "R: illegal option -- -\nR: illegal option -- -\n"},
        {{"C:\\Setup\\Ravelin.exe", "-x", "-u"}, false, false, "Ravelin.ini",
         "C:\\Setup\\Ravelin.exe: illegal option -- x\n"},
        // A colon is never an option letter, though it stands in the option string.
        {{"R", "-:"}, true, false, "Ravelin.ini", "R: illegal option -- :\n"},
        {{"R", "-xuy"}, false, false, "Ravelin.ini", "R: illegal option -- x\nR: illegal option -- y\n"},
        {{"R", "-f", "a.ini", "-u", "-f"}, false, false, "a.ini", "R: option requires an argument -- f\n"},
        {{"R", "-uf"}, false, false, "Ravelin.ini", "R: option requires an argument -- f\n"},
        {{}, true, false, "Ravelin.ini", ""},
        {{"R", nullptr, "-u"}, true, false, "Ravelin.ini", ""},   // a null entry ends the list
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        CString errors;
        ravelin::CommandLine cl = ravelin::ParseCommandLine(static_cast<int>(c.args.size()), c.args.data(), errors);
        EXPECT_EQ(c.install, cl.bInstall);
        EXPECT_EQ(c.usage, cl.bUsage);
        EXPECT_STREQ(c.ini, cl.strIniName);
        EXPECT_EQ(c.errors, errors.GetString());
    }
}

// The program's directory plus the value as given, absolute or not; a trail
// byte 0x5C is no backslash; the limit counts the terminator.
TEST(IniPath, Table)
{
    const std::string dir = "C:\\Setup\\", exe = dir + "Ravelin.exe";
    const std::string fits(259 - dir.size(), 'a'), tooLong(260 - dir.size(), 'a');
    const struct {
        std::string module, value, path;
        bool ok;
    } cases[] = {
        {exe, "Ravelin.ini", "C:\\Setup\\Ravelin.ini", true},
        {exe, "sub\\x.ini", "C:\\Setup\\sub\\x.ini", true},
        {exe, "D:\\x.ini", "C:\\Setup\\D:\\x.ini", true},
        {"Ravelin.exe", "x.ini", "x.ini", true},
        {"C:\\Setup\\\x95\x5C.exe", "a.ini", "C:\\Setup\\a.ini", true},
        {exe, fits, dir + fits, true},
        {exe, tooLong, dir + tooLong, false},
    };
    for (const auto& c : cases) {
        CString path;
        EXPECT_EQ(c.ok, ravelin::BuildIniPath(c.module.c_str(), c.value.c_str(), path)) << c.value;
        EXPECT_EQ(c.path, path.GetString()) << c.value;
    }
}
