// The registrar's script language, against keys of the current user.
#include "afx/afxctl.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kRoot[] = "Software\\TessalyRegistrarTest";

std::string Read(const std::string& key, const char* name = nullptr)
{
    HKEY h = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kRoot) + key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return "<no key>";
    char buf[256] = "";
    DWORD size = sizeof buf, type = 0;
    LONG rc = ::RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    ::RegCloseKey(h);
    if (rc != ERROR_SUCCESS)
        return "<no value>";
    return type == REG_DWORD ? "#" + std::to_string(*reinterpret_cast<DWORD*>(buf)) : buf;
}

void Write(const std::string& key, const char* name, const char* value)
{
    HKEY h = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kRoot) + key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                      nullptr);
    ::RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
    ::RegCloseKey(h);
}

const char kScript[] =
    "HKCU\n"
    "{\n"
    "  NoRemove Software\n"
    "  {\n"
    "    NoRemove TessalyRegistrarTest\n"
    "    {\n"
    "      val Kept = s 'ours'\n"
    "      Plain.Key.1 = s 'It''s %NAME%'\n"
    "      {\n"
    "        Count = d '42'\n"
    "        val Mask = d '0x20191'\n"
    "        val Path = s '%MODULE%\\x 100%%'\n"
    "      }\n"
    "      ForceRemove {0A1B2C3D-0000-0000-0000-000000000001} = s 'Forced'\n"
    "      {\n"
    "        'Quoted Name'\n"
    "      }\n"
    "    }\n"
    "  }\n"
    "}\n";

CRegistrar Registrar()
{
    CRegistrar r;
    r.AddReplacement("NAME", "Tessaly");
    r.AddReplacement("MODULE", "C:\\m.ocx");
    return r;
}

} // namespace

TEST(CRegistrar, RegistersAndRemovesWhatTheScriptNames)
{
    AfxRegDeleteTree(HKEY_CURRENT_USER, kRoot);
    Write("\\{0A1B2C3D-0000-0000-0000-000000000001}\\Stale", nullptr, "old");
    Write("", "Other", "not ours");
    ASSERT_EQ(S_OK, Registrar().StringRegister(kScript, TRUE));
    EXPECT_EQ("ours", Read("", "Kept"));
    EXPECT_EQ("It's Tessaly", Read("\\Plain.Key.1"));
    EXPECT_EQ("#42", Read("\\Plain.Key.1\\Count"));
    EXPECT_EQ("#131473", Read("\\Plain.Key.1", "Mask"));
    EXPECT_EQ("C:\\m.ocx\\x 100%", Read("\\Plain.Key.1", "Path"));
    EXPECT_EQ("Forced", Read("\\{0A1B2C3D-0000-0000-0000-000000000001}"));
    EXPECT_EQ("<no value>", Read("\\{0A1B2C3D-0000-0000-0000-000000000001}\\Quoted Name"));   // a key, no value
    EXPECT_EQ("<no key>", Read("\\{0A1B2C3D-0000-0000-0000-000000000001}\\Stale"));   // replaced whole

    ASSERT_EQ(S_OK, Registrar().StringRegister(kScript, FALSE));
    EXPECT_EQ("<no key>", Read("\\Plain.Key.1"));
    EXPECT_EQ("<no key>", Read("\\{0A1B2C3D-0000-0000-0000-000000000001}"));
    EXPECT_EQ("<no value>", Read("", "Kept"));
    EXPECT_EQ("not ours", Read("", "Other"));   // the kept key keeps what the script does not name
    EXPECT_EQ(S_OK, Registrar().StringRegister(kScript, FALSE));   // removing twice is no fault
    AfxRegDeleteTree(HKEY_CURRENT_USER, kRoot);
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
    AfxRegDeleteTree(HKEY_CURRENT_USER, kRoot);
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        EXPECT_EQ(E_FAIL, Registrar().StringRegister(script, TRUE));
        EXPECT_EQ("<no key>", Read(""));
    }
}
