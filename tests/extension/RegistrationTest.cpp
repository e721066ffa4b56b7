// TessalyExt.ocx as a COM server: its registry entries through regsvr32, its
// add-on entry made through the stand-in's add-on manager (PalmAddOn.dll),
// its class objects and its object count.
#include "ExtTest.h"
#include "TessalyExt_h.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>

using namespace ext;
using desktoptest::GetString;

namespace {

const char kCtrl[] = "{038CF4C9-3657-4A34-95BA-06522D3995A2}";
const char kPage[] = "{08116123-12A5-4C13-A8B0-7A9F6D7E6615}";
const char kSink[] = "{FBA7FDD2-A627-49BA-9128-7B84C8C733C8}";
const char kLib[] = "{B083DFFB-6CCA-4630-8F99-0B8D5A2B6F40}";
const char kAppID[] = "{53C54B3E-E6F4-406E-A006-FF212F223CEA}";
const char kSettings[] = "Software\\Norvane\\TessalyExt";
const char kEntry[] = "Software\\PalmDesktopStandIn\\AddOns\\Tessaly";

bool KeyExists(const std::string& key) { return GetString(HKEY_CLASSES_ROOT, key, nullptr) != "(no key)"; }

void SetInstallPath(const char* path)
{
    path ? desktoptest::SetString(HKEY_CURRENT_USER, kSettings, "InstallPath", path)
         : void(::SHDeleteValueA(HKEY_CURRENT_USER, kSettings, "InstallPath"));
}

// The add-on entry's values as the stand-in keeps them (numbers in decimal);
// empty when there is no entry.
std::map<std::string, std::string> Entry()
{
    std::map<std::string, std::string> values;
    HKEY h = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kEntry, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return values;
    char name[64], data[512];
    for (DWORD i = 0;; ++i) {
        DWORD cName = sizeof name, cData = sizeof data - 1, type = 0;
        if (::RegEnumValueA(h, i, name, &cName, nullptr, &type, reinterpret_cast<BYTE*>(data), &cData) != ERROR_SUCCESS)
            break;
        data[cData] = '\0';
        values[name] = type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data)) : std::string(data);
    }
    ::RegCloseKey(h);
    return values;
}

} // namespace

// Every key and value of the module's classes, its scripts and its type
// library, written by regsvr32 and removed by regsvr32 /u, except the keys
// that are never removed.
TEST(Registration, Regsvr32WritesTheTablesAndRemovesThem)
{
    const std::string path = Ocx().path;
    const std::string ctrl = std::string("CLSID\\") + kCtrl, page = std::string("CLSID\\") + kPage,
                      sink = std::string("CLSID\\") + kSink;
    const struct {
        std::string key;
        const char* name;
        std::string value;   // "" for a key that only has to exist
    } table[] = {
        {ctrl, nullptr, "TessalyExt Control"},
        {ctrl + "\\ProgID", nullptr, "TESSALYEXT.TessalyExtCtrl.1"},
        {ctrl + "\\InprocServer32", nullptr, path},
        {ctrl + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {ctrl + "\\Control", nullptr, ""},
        {ctrl + "\\MiscStatus\\1", nullptr, "131473"},   // 0x20191
        {ctrl + "\\TypeLib", nullptr, kLib},
        {"TESSALYEXT.TessalyExtCtrl.1\\CLSID", nullptr, kCtrl},
        {page + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {"TESSALYEXT.TessalyExtPropPage.1\\CLSID", nullptr, kPage},
        {"TessalyExt.SinkObject.1\\CLSID", nullptr, kSink},
        {"TessalyExt.SinkObject\\CLSID", nullptr, kSink},
        {"TessalyExt.SinkObject\\CurVer", nullptr, "TessalyExt.SinkObject.1"},
        {sink, nullptr, "SinkObject Class"},
        {sink, "AppID", kAppID},
        {sink + "\\ProgID", nullptr, "TessalyExt.SinkObject.1"},
        {sink + "\\InprocServer32", nullptr, path},
        {sink + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {sink + "\\TypeLib", nullptr, kLib},
        {std::string("TypeLib\\") + kLib + "\\1.0", nullptr, ""},
    };
    ASSERT_EQ(0u, desktoptest::Run("regsvr32.exe /s \"" + path + "\""));
    for (const auto& e : table) {
        SCOPED_TRACE(e.key + (e.name ? std::string(" : ") + e.name : ""));
        std::string got = GetString(HKEY_CLASSES_ROOT, e.key, e.name);
        if (e.value.empty())
            EXPECT_TRUE(KeyExists(e.key));
        else
            EXPECT_EQ(0, lstrcmpiA(e.value.c_str(), got.c_str())) << got;
    }

    ASSERT_EQ(0u, desktoptest::Run("regsvr32.exe /s /u \"" + path + "\""));
    for (const auto& e : table)
        EXPECT_FALSE(KeyExists(e.key)) << e.key;
    EXPECT_FALSE(KeyExists("TESSALYEXT.TessalyExtCtrl.1"));
    EXPECT_TRUE(KeyExists("CLSID"));
    EXPECT_TRUE(KeyExists("AppID"));
}

// ------------------------------------------------- the add-on entry

class AddOnRegistration : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll")); }
    void SetUp() override
    {
        ::CoInitialize(nullptr);
        desktoptest::ClearStandIn();
        SetInstallPath("C:\\Tessaly");
        char temp[MAX_PATH];
        ::GetTempPathA(sizeof temp, temp);
        m_log = std::string(temp) + "ext_addon_calls.txt";
        ::DeleteFileA(m_log.c_str());
        ::SetEnvironmentVariableA("TESSALY_HOTSYNC_CALLS", m_log.c_str());
    }
    void TearDown() override
    {
        Ocx().Unregister();
        ::SetEnvironmentVariableA("TESSALY_HOTSYNC_CALLS", nullptr);
        ::DeleteFileA(m_log.c_str());
        desktoptest::ClearStandIn();
        SetInstallPath(nullptr);
        ::CoUninitialize();
    }
    // The manager's and the entries' calls since the last look, each as
    // "manager 11 Tessaly found = 0x00000000".
    std::vector<std::string> Calls()
    {
        std::vector<std::string> calls;
        std::ifstream in(m_log);
        for (std::string line; std::getline(in, line);)
            calls.push_back(line);
        in.close();
        ::DeleteFileA(m_log.c_str());
        return calls;
    }
    std::string m_log;
};

TEST_F(AddOnRegistration, MakesTheEntryInTheDocumentedOrder)
{
    ASSERT_EQ(S_OK, Ocx().Register());
    const std::vector<std::string> made = {
        "manager 9 Tessaly 1450276961 C:\\Tessaly\\TessalyExt.html C:\\Tessaly\\TessalyExt32.bmp = 0x00000000",
        "addon 10 Tessaly &Tessaly = 0x00000000",
        "addon 12 Tessaly Tessaly = 0x00000000",
        "addon 18 Tessaly Tessaly-Vqxa = 0x00000000",
        "addon 16 Tessaly record.dat = 0x00000000",
        "addon 24 Tessaly C:\\Tessaly\\TessalyExt16.bmp = 0x00000000",
        "addon 32 Tessaly 1 = 0x00000000",
    };
    std::vector<std::string> expected = {"manager 11 Tessaly none = 0x00000000"};
    expected.insert(expected.end(), made.begin(), made.end());
    EXPECT_EQ(expected, Calls());
    const auto entry = Entry();   // what the calls set, kept by the stand-in
    EXPECT_EQ(9u, entry.size());

    // Twice: the old entry goes first, then the same one is made.
    ASSERT_EQ(S_OK, Ocx().Register());
    expected = {"manager 11 Tessaly found = 0x00000000", "addon 38 Tessaly = 0x00000000"};
    expected.insert(expected.end(), made.begin(), made.end());
    EXPECT_EQ(expected, Calls());
    EXPECT_EQ(entry, Entry());

    // Unregistering removes it; a second time finds nothing and succeeds.
    EXPECT_EQ(S_OK, Ocx().Unregister());
    EXPECT_TRUE(Entry().empty());
    EXPECT_EQ(S_OK, Ocx().Unregister());
    EXPECT_EQ((std::vector<std::string>{"manager 11 Tessaly found = 0x00000000", "addon 38 Tessaly = 0x00000000",
                                        "manager 11 Tessaly none = 0x00000000"}),
              Calls());
    // Every object of the manager's that the module took is given back.
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        ::GetProcAddress(::GetModuleHandleA("PalmAddOn.dll"), "DllCanUnloadNow"));
    ASSERT_NE(nullptr, canUnload);
    EXPECT_EQ(S_OK, canUnload());
}

TEST_F(AddOnRegistration, PathsAreTheInstallPathAndTheFileNameJoinedAsTheyStand)
{
    for (const char* path : {static_cast<const char*>(nullptr), "D:\\Apps\\"}) {
        SetInstallPath(path);
        ASSERT_EQ(S_OK, Ocx().Register());
        auto e = Entry();
        const std::string folder = path ? "D:\\Apps\\\\" : "c:\\";
        EXPECT_EQ(folder + "TessalyExt.html " + folder + "TessalyExt32.bmp " + folder + "TessalyExt16.bmp",
                  e["Description"] + " " + e["LargeBitmap"] + " " + e["SmallBitmap"]);
    }
}

TEST_F(AddOnRegistration, WithoutPalmDesktopTheClassesAreStillRegistered)
{
    ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll", true));
    EXPECT_EQ(S_OK, Ocx().Register());
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(KeyExists(std::string("CLSID\\") + kCtrl));
    EXPECT_EQ(S_OK, Ocx().Unregister());
    ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll"));
}

// A failing call ends the add-on step where it stands; the export succeeds.
// Over a complete entry, the calls go as far as the failing one and the
// entry holds what was set before it.
TEST_F(AddOnRegistration, AFailingHostCallEndsTheEntryWhereItStands)
{
    // The calls of a registration over an old entry, with what each sets.
    const struct {
        const char* call;
        const char* value;
    } order[] = {{"manager 11", nullptr},   {"addon 38", nullptr},     {"manager 9", nullptr},
                 {"addon 10", "MenuCaption"}, {"addon 12", "NameText"}, {"addon 18", "DatabaseName"},
                 {"addon 16", "DataFileName"}, {"addon 24", "SmallBitmap"}, {"addon 32", "Flag"}};
    const size_t failing[] = {0, 1, 2, 3, 5, 8};
    ASSERT_EQ(S_OK, Ocx().Register());
    const auto complete = Entry();
    for (size_t k : failing) {
        SCOPED_TRACE(order[k].call);
        ASSERT_EQ(S_OK, Ocx().Register());   // a complete entry to begin with
        Calls();
        const std::string call = order[k].call;
        Fail(call[0] == 'm' ? "FailManager" : "FailAddOn", call.substr(call.find(' ') + 1));
        EXPECT_EQ(S_OK, Ocx().Register());
        Fail("FailManager", "");
        Fail("FailAddOn", "");
        std::vector<std::string> calls = Calls();
        ASSERT_EQ(k + 1, calls.size());
        for (size_t i = 0; i <= k; ++i)
            EXPECT_EQ(0u, calls[i].find(std::string(order[i].call) + " ")) << calls[i];
        EXPECT_NE(std::string::npos, calls[k].find("= 0x80004005"));
        std::map<std::string, std::string> expected;   // none once the old one went
        if (k < 2)
            expected = complete;
        for (const char* name : {"CreatorID", "Description", "LargeBitmap"})
            if (k > 2)
                expected[name] = complete.at(name);
        for (size_t i = 3; i < k; ++i)
            expected[order[i].value] = complete.at(order[i].value);
        EXPECT_EQ(expected, Entry());
    }
}

// ------------------------------------------------- class objects and count

TEST(ClassObjects, EachClassHasOneAndTheCountFollowsEveryObjectAndLock)
{
    ::CoInitialize(nullptr);
    const Module& ocx = Ocx();
    ASSERT_EQ(S_OK, ocx.CanUnloadNow());
    const CLSID page = {0x08116123, 0x12A5, 0x4C13, {0xA8, 0xB0, 0x7A, 0x9F, 0x6D, 0x7E, 0x66, 0x15}};
    const struct {
        const CLSID* clsid;
        const IID* iid;
    } classes[] = {{&CLSID_TessalyExt, &IID_IOleObject}, {&page, &IID_IPropertyPage}, {&CLSID_SinkObject, &IID_ISinkObject}};
    for (const auto& c : classes) {
        IClassFactory* factory = nullptr;
        ASSERT_EQ(S_OK, ocx.GetClassObject(*c.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        EXPECT_EQ(S_FALSE, ocx.CanUnloadNow());   // a held class object
        IUnknown* object = nullptr;
        // Any outer object is refused before it is used.
        EXPECT_EQ(CLASS_E_NOAGGREGATION,
                  factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), *c.iid, reinterpret_cast<void**>(&object)));
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, *c.iid, reinterpret_cast<void**>(&object)));
        ITypeInfo* info = nullptr;   // the embedded library describes the sink's interface
        if (c.iid == &IID_ISinkObject && SUCCEEDED(static_cast<IDispatch*>(object)->GetTypeInfo(0, 0, &info)))
            info->Release();
        EXPECT_EQ(c.iid == &IID_ISinkObject, info != nullptr);
        EXPECT_EQ(S_OK, factory->LockServer(TRUE));
        factory->Release();
        EXPECT_EQ(S_FALSE, ocx.CanUnloadNow());   // the object and the lock
        object->Release();
        EXPECT_EQ(S_FALSE, ocx.CanUnloadNow());   // the lock
        ASSERT_EQ(S_OK, ocx.GetClassObject(*c.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        factory->LockServer(FALSE);
        factory->Release();
        EXPECT_EQ(S_OK, ocx.CanUnloadNow());
    }
    void* p = reinterpret_cast<void*>(1);
    const CLSID unknown = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, ocx.GetClassObject(unknown, IID_IClassFactory, &p));
    EXPECT_EQ(nullptr, p);
    ::CoUninitialize();
}
