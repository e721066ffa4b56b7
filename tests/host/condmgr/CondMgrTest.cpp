#include "CondMgr.h"
#include "HsApi.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kEntry[] = "Software\\HotSync\\Conduits\\CmTs";
const char kNotifiers[] = "Software\\HotSync\\Notifiers";
const char kNotifier[] = "C:\\Tessaly\\CmTestNotifier.dll";

bool QueryValue(const char* key, const char* value, DWORD& type, std::string& data)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    char buf[512] = {};
    DWORD size = sizeof buf - 1;
    LONG rc = RegQueryValueExA(hKey, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(hKey);
    data.assign(buf, size);
    return rc == ERROR_SUCCESS;
}

std::string StringValue(const char* key, const char* value)
{
    DWORD type = 0;
    std::string data;
    if (!QueryValue(key, value, type, data) || type != REG_SZ)
        return "<absent>";
    return data.c_str();
}

class CondMgrTest : public ::testing::Test {
protected:
    void SetUp() override { Forget(); }
    void TearDown() override
    {
        SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", nullptr);
        Forget();
    }
    static void Forget()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, kEntry);
        HKEY hKey;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kNotifiers, 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
            RegDeleteValueA(hKey, kNotifier);
            RegCloseKey(hKey);
        }
    }
};

} // namespace

TEST_F(CondMgrTest, EntryLifecycle)
{
    EXPECT_EQ(CondMgrSetFile("CmTs", "x.dat"), CONDMGR_ERR_NO_ENTRY);   // no entry yet
    ASSERT_EQ(CondMgrCreateEntry("CmTs", CONDMGR_TYPE_APPLICATION), 0);
    EXPECT_EQ(CondMgrCreateEntry("CmTs", CONDMGR_TYPE_APPLICATION), -1005);
    EXPECT_EQ(CondMgrSetConduit("CmTs", "C:\\c.dll"), 0);
    EXPECT_EQ(CondMgrSetDirectory("CmTs", "Dir"), 0);
    EXPECT_EQ(CondMgrSetFile("CmTs", "f.dat"), 0);
    EXPECT_EQ(CondMgrSetRemoteDatabase("CmTs", "Remote-CmTs"), 0);
    EXPECT_EQ(CondMgrSetName("CmTs", "Name"), 0);
    EXPECT_EQ(CondMgrSetPriority("CmTs", -7), 0);
    EXPECT_EQ(StringValue(kEntry, "Conduit"), "C:\\c.dll");
    EXPECT_EQ(StringValue(kEntry, "Directory"), "Dir");
    EXPECT_EQ(StringValue(kEntry, "File"), "f.dat");
    EXPECT_EQ(StringValue(kEntry, "RemoteDatabase"), "Remote-CmTs");
    EXPECT_EQ(StringValue(kEntry, "Name"), "Name");
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(QueryValue(kEntry, "Priority", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(data.size(), 4u);
    EXPECT_EQ(*reinterpret_cast<const int*>(data.data()), -7);

    EXPECT_EQ(CondMgrRemoveEntry("CmTs"), 0);
    EXPECT_LT(CondMgrRemoveEntry("CmTs"), 0);   // removing a missing entry fails
    EXPECT_LT(CondMgrSetName("CmTs", "Name"), 0);
}

TEST_F(CondMgrTest, CreatorIdMustBeFourPlainCharacters)
{
    for (const char* bad : {"", "Cm", "CmTsX", "Cm\\s", "Cm\tT"}) {
        EXPECT_LT(CondMgrCreateEntry(bad, CONDMGR_TYPE_APPLICATION), 0) << bad;
        EXPECT_NE(CondMgrCreateEntry(bad, CONDMGR_TYPE_APPLICATION), -1005) << bad;
        EXPECT_LT(CondMgrRemoveEntry(bad), 0) << bad;
    }
    EXPECT_LT(CondMgrCreateEntry(nullptr, CONDMGR_TYPE_APPLICATION), 0);
    EXPECT_LT(CondMgrSetConduit(nullptr, "x"), 0);
    // A backslash must not reach a key below another entry.
    HKEY hKey;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\HotSync\\Conduits\\Cm", 0, KEY_READ, &hKey),
              ERROR_SUCCESS);
}

TEST_F(CondMgrTest, Notifiers)
{
    EXPECT_LT(CondMgrRemoveNotifier(kNotifier), 0);
    EXPECT_EQ(CondMgrRegisterNotifier(kNotifier), 0);
    EXPECT_EQ(StringValue(kNotifiers, kNotifier), kNotifier);
    EXPECT_EQ(CondMgrRegisterNotifier(kNotifier), -1019);
    EXPECT_EQ(CondMgrRemoveNotifier(kNotifier), 0);
    EXPECT_EQ(StringValue(kNotifiers, kNotifier), "<absent>");
    EXPECT_LT(CondMgrRegisterNotifier(""), 0);
    EXPECT_LT(CondMgrRegisterNotifier(nullptr), 0);
}

TEST_F(CondMgrTest, InjectedFailureChangesNothing)
{
    SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", "48, 187");
    ASSERT_EQ(CondMgrCreateEntry("CmTs", CONDMGR_TYPE_APPLICATION), 0);
    EXPECT_EQ(CondMgrSetDirectory("CmTs", "Dir"), CONDMGR_ERR_INJECTED);
    EXPECT_EQ(StringValue(kEntry, "Directory"), "<absent>");
    EXPECT_EQ(CondMgrSetFile("CmTs", "f"), 0);
    EXPECT_EQ(CondMgrRegisterNotifier(kNotifier), CONDMGR_ERR_INJECTED);
    EXPECT_EQ(StringValue(kNotifiers, kNotifier), "<absent>");
    SetEnvironmentVariableA("TESSALY_CONDMGR_FAIL", "4");   // not a prefix match of 48
    EXPECT_EQ(CondMgrSetDirectory("CmTs", "Dir"), 0);
}

TEST(HsApi, RefreshCounts)
{
    DWORD type = 0;
    std::string before, after;
    QueryValue("Software\\HotSync", "Refreshes", type, before);
    EXPECT_EQ(HotSyncRefreshConduits(), 0);
    ASSERT_TRUE(QueryValue("Software\\HotSync", "Refreshes", type, after));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    DWORD b = before.size() == 4 ? *reinterpret_cast<const DWORD*>(before.data()) : 0;
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(after.data()), b + 1);
}
