// What the framework keeps in the registry, against keys of the current
// user: the registrar's script language and the application's profile.
#include "afx/afxctl.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kRoot = "Software\\TessalyRegistrarTest";
const std::string kGuidKey = kRoot + "\\{0A1B2C3D-0000-0000-0000-000000000001}";

// A value's text, "#n" for a number, or why there is none.
std::string Read(const std::string& key, const char* name = nullptr)
{
    HKEY h = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return "<no key>";
    char buf[256] = "";
    DWORD size = sizeof buf, type = 0;
    LONG rc = ::RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    ::RegCloseKey(h);
    if (rc != ERROR_SUCCESS)
        return "<no value>";
    return type == REG_DWORD ? "#" + std::to_string(*reinterpret_cast<DWORD*>(buf)) : buf;
}

// Newlines and blanks alike separate the script's words.
const char kScript[] = R"(HKCU { NoRemove Software { NoRemove TessalyRegistrarTest {
    val Kept = s 'ours'
    Plain.Key.1 = s 'It''s %NAME%' { Count = d '42'  val Mask = d '0x20191'  val Path = s '%MODULE%\x 100%%' }
    ForceRemove {0A1B2C3D-0000-0000-0000-000000000001} = s 'Forced'
    {
        'Quoted Name'
    }
} } })";

HRESULT Apply(const char* script, BOOL bRegister)
{
    CRegistrar r;
    r.AddReplacement("NAME", "Tessaly");
    r.AddReplacement("MODULE", "C:\\m.ocx");
    return r.StringRegister(script, bRegister);
}

} // namespace

TEST(CRegistrar, RegistersAndRemovesWhatTheScriptNames)
{
    AfxRegDeleteTree(HKEY_CURRENT_USER, kRoot.c_str());
    ::RegSetValueA(HKEY_CURRENT_USER, (kGuidKey + "\\Stale").c_str(), REG_SZ, "old", 3);
    ::RegSetValueA(HKEY_CURRENT_USER, (kRoot + "\\Other").c_str(), REG_SZ, "not ours", 8);
    ASSERT_EQ(S_OK, Apply(kScript, TRUE));
    EXPECT_EQ("ours", Read(kRoot, "Kept"));
    EXPECT_EQ("It's Tessaly", Read(kRoot + "\\Plain.Key.1"));
    EXPECT_EQ("#42", Read(kRoot + "\\Plain.Key.1\\Count"));
    EXPECT_EQ("#131473", Read(kRoot + "\\Plain.Key.1", "Mask"));
    EXPECT_EQ("C:\\m.ocx\\x 100%", Read(kRoot + "\\Plain.Key.1", "Path"));
    EXPECT_EQ("Forced", Read(kGuidKey));
    EXPECT_EQ("<no value>", Read(kGuidKey + "\\Quoted Name"));   // a key, no value
    EXPECT_EQ("<no key>", Read(kGuidKey + "\\Stale"));           // replaced whole

    ASSERT_EQ(S_OK, Apply(kScript, FALSE));
    EXPECT_EQ("<no key>", Read(kRoot + "\\Plain.Key.1"));
    EXPECT_EQ("<no key>", Read(kGuidKey));
    EXPECT_EQ("<no value>", Read(kRoot, "Kept"));
    EXPECT_EQ("not ours", Read(kRoot + "\\Other"));   // the kept key keeps what the script does not name
    EXPECT_EQ(S_OK, Apply(kScript, FALSE));              // removing twice is no fault
    AfxRegDeleteTree(HKEY_CURRENT_USER, kRoot.c_str());
}

TEST(CRegistrar, AFaultyScriptChangesNothing)
{
    const char* const scripts[] = {
        "HKCU { NoRemove Software { TessalyRegistrarTest = s '%UNKNOWN%' } }",
        "HKCU { NoRemove Software { TessalyRegistrarTest = s 'x' }",
        "HKCU { NoRemove Software { TessalyRegistrarTest = q 'x' } }",
        "HKCU { NoRemove Software { TessalyRegistrarTest = s 'x } }",
        "HKCU { NoRemove Software { TessalyRegistrarTest { val = s 'x' } } }",
        "HKXX { TessalyRegistrarTest }",
        "HKCU { NoRemove Software { TessalyRegistrarTest } } trailing",
    };
    AfxRegDeleteTree(HKEY_CURRENT_USER, kRoot.c_str());
    for (const char* script : scripts) {
        EXPECT_EQ(E_FAIL, Apply(script, TRUE)) << script;
        EXPECT_EQ("<no key>", Read(kRoot)) << script;
    }
}

TEST(CWinApp, ProfileValuesLiveUnderTheCompanyAndApplicationKey)
{
    CWinApp app("AfxProfileTest");
    // Without a registry key there is no store: defaults come back.
    EXPECT_FALSE(app.WriteProfileString("", "Entry", "lost"));
    EXPECT_STREQ(app.GetProfileString("", "Entry", "default"), "default");

    app.SetRegistryKey("TessalyAfxTest");
    EXPECT_TRUE(app.WriteProfileString("", "Heading", "(1) 0 150 (0) "));
    EXPECT_TRUE(app.WriteProfileString("Section", "Card 1", "207 209 300"));
    EXPECT_TRUE(app.WriteProfileInt("", "Tab", 2));
    EXPECT_EQ(Read("Software\\TessalyAfxTest\\AfxProfileTest", "Heading"), "(1) 0 150 (0) ");
    EXPECT_EQ(Read("Software\\TessalyAfxTest\\AfxProfileTest\\Section", "Card 1"), "207 209 300");
    EXPECT_EQ(Read("Software\\TessalyAfxTest\\AfxProfileTest", "Tab"), "#2");
    EXPECT_STREQ(app.GetProfileString("", "Heading"), "(1) 0 150 (0) ");
    EXPECT_STREQ(app.GetProfileString("Section", "Card 1"), "207 209 300");
    EXPECT_STREQ(app.GetProfileString("Section", "Heading", "none"), "none");
    EXPECT_EQ(app.GetProfileInt("", "Tab", 0), 2u);
    EXPECT_EQ(app.GetProfileInt("", "Heading", 7), 7u);   // not a number value
    EXPECT_TRUE(app.WriteProfileString("", "Heading", nullptr));   // removes it
    EXPECT_STREQ(app.GetProfileString("", "Heading"), "");
    AfxRegDeleteTree(HKEY_CURRENT_USER, "Software\\TessalyAfxTest");
}
