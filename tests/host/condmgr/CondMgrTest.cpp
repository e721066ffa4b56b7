// Calls the stand-ins as the installer does and reads what they left in the
// registry. The results the installer acts on are checked in ravelin_test.
#include "CondMgr.h"
#include "HsApi.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const char kEntry[] = "Software\\HotSync\\Conduits\\CmTs";
const char kNotifiers[] = "Software\\HotSync\\Notifiers";
const char kNotifier[] = "C:\\Tessaly\\CmTestNotifier.dll";

// A string as it is (its terminator stored with it), a DWORD as "#<signed number>".
std::string Value(const char* key, const char* value)
{
    char buf[512] = {};
    DWORD type = 0, size = sizeof buf;
    if (SHGetValueA(HKEY_CURRENT_USER, key, value, &type, buf, &size) != ERROR_SUCCESS)
        return "<absent>";
    if (type == REG_DWORD && size == 4)
        return "#" + std::to_string(*reinterpret_cast<const int*>(buf));
    return type == REG_SZ && size > 0 && buf[size - 1] == '\0' ? std::string(buf, size - 1) : "<not a string>";
}

class CondMgrTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", nullptr);
        CondMgrRemoveEntry("CmTs");
        CondMgrRemoveNotifier(kNotifier);
    }
};

} // namespace

TEST_F(CondMgrTest, EntryAndNotifierLifecycle)
{
    EXPECT_EQ(CondMgrSetFile("CmTs", "x.dat"), CONDMGR_ERR_NO_ENTRY);
    EXPECT_EQ(CondMgrCreateEntry("CmTs", CONDMGR_TYPE_APPLICATION + 1), CONDMGR_ERR_BAD_ARGUMENT);
    ASSERT_EQ(CondMgrCreateEntry("CmTs", CONDMGR_TYPE_APPLICATION), 0);
    const struct {
        LONG(WINAPI* set)(const char*, const char*);
        const char *value, *text;
    } setters[] = {{CondMgrSetConduit, "Conduit", "C:\\c.dll"},
                   {CondMgrSetDirectory, "Directory", "Dir"},
                   {CondMgrSetFile, "File", "f.dat"},
                   {CondMgrSetRemoteDatabase, "RemoteDatabase", "Remote-CmTs"},
                   {CondMgrSetName, "Name", "Name"}};
    for (const auto& s : setters) {
        EXPECT_EQ(s.set("CmTs", nullptr), CONDMGR_ERR_BAD_ARGUMENT) << s.value;
        EXPECT_EQ(s.set("CmTs", s.text), 0) << s.value;
        EXPECT_EQ(Value(kEntry, s.value), s.text);
    }
    EXPECT_EQ(CondMgrSetPriority("CmTs", -7), 0);
    EXPECT_EQ(Value(kEntry, "Priority"), "#-7");
    EXPECT_EQ(CondMgrRemoveEntry("CmTs"), 0);
    EXPECT_EQ(CondMgrSetName("CmTs", "Name"), CONDMGR_ERR_NO_ENTRY);

    EXPECT_EQ(CondMgrRegisterNotifier(kNotifier), 0);
    EXPECT_EQ(Value(kNotifiers, kNotifier), kNotifier);
    EXPECT_EQ(CondMgrRemoveNotifier(kNotifier), 0);
    EXPECT_EQ(Value(kNotifiers, kNotifier), "<absent>");
}

// A creator ID is four printable characters, none a backslash, which would
// name a key below another entry.
TEST_F(CondMgrTest, BadArgumentsAreRefused)
{
    for (const char* bad : {"", "Cm", "CmTsX", "Cm\\s", "Cm\tT", "Cm\x7FT", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(bad ? bad : "(null)");
        EXPECT_EQ(CondMgrCreateEntry(bad, CONDMGR_TYPE_APPLICATION), CONDMGR_ERR_BAD_CREATOR);
        EXPECT_EQ(CondMgrRemoveEntry(bad), CONDMGR_ERR_BAD_CREATOR);
        EXPECT_EQ(CondMgrSetConduit(bad, "x"), CONDMGR_ERR_BAD_CREATOR);
    }
    HKEY hKey;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\HotSync\\Conduits\\Cm", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    for (const char* bad : {"", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(CondMgrRegisterNotifier(bad), CONDMGR_ERR_BAD_ARGUMENT);
        EXPECT_EQ(CondMgrRemoveNotifier(bad), CONDMGR_ERR_BAD_ARGUMENT);
    }
}

TEST_F(CondMgrTest, InjectedFailureChangesNothing)
{
    SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", "48, 187");
    ASSERT_EQ(CondMgrCreateEntry("CmTs", CONDMGR_TYPE_APPLICATION), 0);
    EXPECT_EQ(CondMgrSetDirectory("CmTs", "Dir"), CONDMGR_ERR_INJECTED);
    EXPECT_EQ(Value(kEntry, "Directory"), "<absent>");
    EXPECT_EQ(CondMgrRegisterNotifier(kNotifier), CONDMGR_ERR_INJECTED);
    EXPECT_EQ(Value(kNotifiers, kNotifier), "<absent>");
    SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", "4");   // not a prefix match of 48
    EXPECT_EQ(CondMgrSetDirectory("CmTs", "Dir"), 0);
}

TEST(HsApi, RefreshCounts)
{
    std::string before = Value("Software\\HotSync", "Refreshes");
    EXPECT_EQ(HotSyncRefreshConduits(), 0);
    EXPECT_EQ(Value("Software\\HotSync", "Refreshes"),
              "#" + std::to_string(before == "<absent>" ? 1 : std::stoi(before.substr(1)) + 1));
}
