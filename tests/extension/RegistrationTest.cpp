// TessalyExt.ocx as a COM server: its registry entries through regsvr32, its
// add-on entry in Palm Desktop, its class objects and its object count.
#include "FakeHost.h"
#include "TessalyExt_h.h"

#include <gtest/gtest.h>

using namespace fake;

namespace {

const char kCtrl[] = "{038CF4C9-3657-4A34-95BA-06522D3995A2}";
const char kPage[] = "{08116123-12A5-4C13-A8B0-7A9F6D7E6615}";
const char kSink[] = "{FBA7FDD2-A627-49BA-9128-7B84C8C733C8}";
const char kLib[] = "{B083DFFB-6CCA-4630-8F99-0B8D5A2B6F40}";
const char kAppID[] = "{53C54B3E-E6F4-406E-A006-FF212F223CEA}";
const char kSettings[] = "Software\\Norvane\\TessalyExt";

// A value below HKCR (or HKCU); "<absent>" when the key or value is missing.
std::string Value(const std::string& key, const char* name = nullptr, HKEY root = HKEY_CLASSES_ROOT)
{
    HKEY h = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return "<absent>";
    char buf[512] = "";
    DWORD size = sizeof buf, type = 0;
    LONG rc = ::RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    ::RegCloseKey(h);
    if (rc != ERROR_SUCCESS)
        return name ? "<absent>" : "";   // a key without a default value
    return buf;
}

bool KeyExists(const std::string& key)
{
    HKEY h = nullptr;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(h);
    return true;
}

DWORD RunRegsvr32(const std::string& args)
{
    std::string cmd = "regsvr32.exe /s " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0xFFFFFFFF;
    ::WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return code;
}

void SetInstallPath(const char* path)
{
    HKEY h = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
    if (path)
        ::RegSetValueExA(h, "InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                         static_cast<DWORD>(strlen(path) + 1));
    else
        ::RegDeleteValueA(h, "InstallPath");
    ::RegCloseKey(h);
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
    struct Entry {
        std::string key;
        const char* name;
        std::string value;   // "" for a key that only has to exist
    };
    const std::vector<Entry> table = {
        {ctrl, nullptr, "TessalyExt Control"},
        {ctrl + "\\ProgID", nullptr, "TESSALYEXT.TessalyExtCtrl.1"},
        {ctrl + "\\InprocServer32", nullptr, path},
        {ctrl + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {ctrl + "\\Control", nullptr, ""},
        {ctrl + "\\MiscStatus\\1", nullptr, "131473"},   // 0x20191
        {ctrl + "\\ToolboxBitmap32", nullptr, path + ", 1"},
        {ctrl + "\\TypeLib", nullptr, kLib},
        {ctrl + "\\Version", nullptr, "1.0"},
        {"TESSALYEXT.TessalyExtCtrl.1\\CLSID", nullptr, kCtrl},
        {page, nullptr, "TessalyExt Property Page"},
        {page + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {"TESSALYEXT.TessalyExtPropPage.1\\CLSID", nullptr, kPage},
        {"TessalyExt.SinkObject.1", nullptr, "SinkObject Class"},
        {"TessalyExt.SinkObject.1\\CLSID", nullptr, kSink},
        {"TessalyExt.SinkObject", nullptr, "SinkObject Class"},
        {"TessalyExt.SinkObject\\CLSID", nullptr, kSink},
        {"TessalyExt.SinkObject\\CurVer", nullptr, "TessalyExt.SinkObject.1"},
        {sink, nullptr, "SinkObject Class"},
        {sink, "AppID", kAppID},
        {sink + "\\ProgID", nullptr, "TessalyExt.SinkObject.1"},
        {sink + "\\VersionIndependentProgID", nullptr, "TessalyExt.SinkObject"},
        {sink + "\\Programmable", nullptr, ""},
        {sink + "\\InprocServer32", nullptr, path},
        {sink + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {sink + "\\TypeLib", nullptr, kLib},
        {std::string("AppID\\") + kAppID, nullptr, "TessalyExt"},
        {"AppID\\TessalyExt.DLL", "AppID", kAppID},
        {std::string("TypeLib\\") + kLib + "\\1.0", nullptr, ""},
    };
    ASSERT_EQ(0u, RunRegsvr32("\"" + path + "\""));
    for (const Entry& e : table) {
        SCOPED_TRACE(e.key + (e.name ? std::string(" : ") + e.name : ""));
        std::string got = Value(e.key, e.name);
        if (e.value.empty())
            EXPECT_TRUE(KeyExists(e.key));
        else
            EXPECT_EQ(0, lstrcmpiA(e.value.c_str(), got.c_str())) << got;
    }

    ASSERT_EQ(0u, RunRegsvr32("/u \"" + path + "\""));
    for (const Entry& e : table) {
        SCOPED_TRACE(e.key);
        EXPECT_FALSE(KeyExists(e.key));
    }
    EXPECT_FALSE(KeyExists("TESSALYEXT.TessalyExtCtrl.1"));
    EXPECT_TRUE(KeyExists("CLSID"));
    EXPECT_TRUE(KeyExists("AppID"));
}

// ------------------------------------------------- the add-on entry

class AddOnRegistration : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::CoInitialize(nullptr);
        Log().Clear();
        SetInstallPath("C:\\Tessaly");
    }
    void TearDown() override
    {
        Ocx().Unregister();
        SetInstallPath(nullptr);
        ::CoUninitialize();
    }
    // The entry's settings in the order the module made them.
    std::vector<std::string> EntryCalls() const
    {
        std::vector<std::string> calls;
        for (const std::string& c : Log().calls)
            if (c.compare(0, 4, "put_") == 0 || c.compare(0, 6, "Create") == 0)
                calls.push_back(c);
        return calls;
    }
    AddOnManager manager;
};

TEST_F(AddOnRegistration, MakesTheEntryInTheDocumentedOrder)
{
    ManagerRegistration reg(manager);
    ASSERT_EQ(S_OK, Ocx().Register());
    const std::vector<std::string> expected = {
        "FindAddOn Tessaly",
        "CreateAddOn Tessaly 56717861 C:\\Tessaly\\TessalyExt.html C:\\Tessaly\\TessalyExt32.bmp",
        "put_MenuCaption &Tessaly",
        "put_NameText Tessaly",
        "put_DatabaseName Tessaly-Vqxa",
        "put_DataFileName record.dat",
        "put_SmallBitmap C:\\Tessaly\\TessalyExt16.bmp",
        "put_Flag 1",
    };
    EXPECT_EQ(expected, Log().calls);
    // Every reference the module took is given back.
    EXPECT_EQ(1, manager.refs);
    ASSERT_EQ(1u, manager.entries.size());
    EXPECT_EQ(1, manager.entries[0]->refs);

    // Twice: the old entry goes first, exactly one remains.
    Log().Clear();
    ASSERT_EQ(S_OK, Ocx().Register());
    EXPECT_EQ("Remove Tessaly", Log().calls.at(1));
    ASSERT_EQ(2u, manager.entries.size());
    EXPECT_TRUE(manager.entries[0]->removed);
    EXPECT_EQ(manager.entries[1], manager.Find("Tessaly"));

    // Unregistering removes it; a second time finds nothing and succeeds.
    Log().Clear();
    EXPECT_EQ(S_OK, Ocx().Unregister());
    EXPECT_EQ(nullptr, manager.Find("Tessaly"));
    EXPECT_EQ(S_OK, Ocx().Unregister());
    EXPECT_EQ((std::vector<std::string>{"FindAddOn Tessaly", "Remove Tessaly", "FindAddOn Tessaly"}), Log().calls);
}

TEST_F(AddOnRegistration, PathsAreTheInstallPathAndTheFileNameJoinedAsTheyStand)
{
    ManagerRegistration reg(manager);
    const struct {
        const char* installPath;
        const char* description;
        const char* small;
    } cases[] = {
        {nullptr, "c:\\TessalyExt.html", "c:\\TessalyExt16.bmp"},
        {"D:\\Apps\\", "D:\\Apps\\\\TessalyExt.html", "D:\\Apps\\\\TessalyExt16.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        SetInstallPath(c.installPath);
        Log().Clear();
        ASSERT_EQ(S_OK, Ocx().Register());
        AddOn* entry = manager.Find("Tessaly");
        ASSERT_NE(nullptr, entry);
        EXPECT_NE(std::string::npos, Log().calls.back().find("put_Flag"));
        EXPECT_NE(std::string::npos, Log().calls.at(Log().calls.size() - 7).find(c.description));
        EXPECT_EQ(c.small, entry->props["put_SmallBitmap"]);
    }
}

TEST_F(AddOnRegistration, WithoutPalmDesktopTheClassesAreStillRegistered)
{
    ManagerRegistration reg(manager, false);
    EXPECT_EQ(S_OK, Ocx().Register());
    EXPECT_TRUE(Log().calls.empty());
    EXPECT_TRUE(KeyExists(std::string("CLSID\\") + kCtrl));
    EXPECT_EQ(S_OK, Ocx().Unregister());
}

// A failing call ends the add-on step where it stands; the export succeeds.
TEST_F(AddOnRegistration, AFailingHostCallEndsTheEntryWhereItStands)
{
    ManagerRegistration reg(manager);
    const struct {
        const char* failing;
        bool oldRemoved;
        bool created;
        const char* lastSet;   // the last setting made on the new entry
    } cases[] = {
        {"FindAddOn", false, false, nullptr},
        {"Remove", false, false, nullptr},
        {"CreateAddOn", true, false, nullptr},
        {"put_MenuCaption", true, true, nullptr},
        {"put_DatabaseName", true, true, "put_NameText"},
        {"put_Flag", true, true, "put_SmallBitmap"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing);
        Log().Clear();
        ASSERT_EQ(S_OK, Ocx().Register());   // a complete entry to begin with
        AddOn* old = manager.Find("Tessaly");
        size_t count = manager.entries.size();
        Log().failing.insert(c.failing);
        EXPECT_EQ(S_OK, Ocx().Register());
        EXPECT_EQ(c.oldRemoved, old->removed);
        ASSERT_EQ(count + (c.created ? 1 : 0), manager.entries.size());
        if (c.created) {
            const auto& props = manager.entries.back()->props;
            static const char* const order[] = {"put_MenuCaption", "put_NameText", "put_DatabaseName",
                                                "put_DataFileName", "put_SmallBitmap", "put_Flag"};
            bool reached = !c.lastSet;
            for (const char* name : order) {
                EXPECT_EQ(!reached, props.count(name) == 1) << name;
                if (c.lastSet && std::string(name) == c.lastSet)
                    reached = true;
            }
        }
        Log().failing.clear();
    }
}

// A module whose embedded type library is not TessalyExtLib stops at the type
// library step with SELFREG_E_TYPELIB and never reaches Palm Desktop.
TEST_F(AddOnRegistration, AFailingTypeLibraryRegistrationLeavesTheAddOnsAlone)
{
    ManagerRegistration reg(manager);
    char temp[MAX_PATH];
    ::GetTempPathA(sizeof temp, temp);
    std::string copy = std::string(temp) + "TessalyExtOtherLib.ocx";
    ASSERT_TRUE(::CopyFileA(Ocx().path.c_str(), copy.c_str(), FALSE));
    std::string dir = Ocx().path.substr(0, Ocx().path.rfind('\\') + 1);
    HANDLE hTlb = ::CreateFileA((dir + "OtherLib.tlb").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hTlb);
    std::vector<char> tlb(::GetFileSize(hTlb, nullptr));
    DWORD got = 0;
    ::ReadFile(hTlb, tlb.data(), static_cast<DWORD>(tlb.size()), &got, nullptr);
    ::CloseHandle(hTlb);
    HANDLE hUpdate = ::BeginUpdateResourceA(copy.c_str(), FALSE);
    ASSERT_NE(nullptr, hUpdate);
    ASSERT_TRUE(::UpdateResourceA(hUpdate, "TYPELIB", MAKEINTRESOURCEA(1), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT),
                                  tlb.data(), got));
    ASSERT_TRUE(::EndUpdateResourceA(hUpdate, FALSE));

    CWinApp* app = AfxGetApp();
    Module other = LoadModule(copy);
    ASSERT_NE(nullptr, other.handle);
    EXPECT_EQ(app, AfxGetApp()) << "a second module's application object stays aside";
    EXPECT_EQ(static_cast<HRESULT>(0x80040200), other.Register());
    EXPECT_TRUE(Log().calls.empty());
    EXPECT_TRUE(manager.entries.empty());
    EXPECT_FALSE(KeyExists(std::string("CLSID\\") + kCtrl));
    other.Unregister();
    ::FreeLibrary(other.handle);
    ::DeleteFileA(copy.c_str());
}

// ------------------------------------------------- class objects and count

// Loaded into a program without an application object, the module's own
// serves the process, with the module's settings key.
TEST(ApplicationObject, TheModulesSettingsKeyIsSetWhenItLoads)
{
    ASSERT_NE(nullptr, Ocx().handle);
    CWinApp* app = AfxGetApp();
    ASSERT_NE(nullptr, app);
    EXPECT_STREQ("Norvane", app->m_pszRegistryKey);
    EXPECT_STREQ("TessalyExt", app->m_pszProfileName);
    EXPECT_EQ(Ocx().handle, AfxGetResourceHandle());   // its resources before the program's
    EXPECT_TRUE(app->WriteProfileString("", "ProbeValue", "x"));
    EXPECT_EQ("x", Value(kSettings, "ProbeValue", HKEY_CURRENT_USER));
    app->WriteProfileString("", "ProbeValue", nullptr);
}

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

// The embedded library: TessalyExtLib 1.0 with its five descriptions.
TEST(TypeLibrary, DescribesTheControlAndTheSink)
{
    std::wstring path(Ocx().path.begin(), Ocx().path.end());
    ITypeLib* lib = nullptr;
    ASSERT_EQ(S_OK, ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, lib->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(LIBID_TessalyExtLib, attr->guid));
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    lib->ReleaseTLibAttr(attr);
    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(S_OK, lib->GetDocumentation(-1, &name, nullptr, nullptr, &help));
    EXPECT_EQ("TessalyExtLib", Narrow(name));
    EXPECT_NE(std::string::npos, Narrow(help).find("TessalyExt.hlp"));
    ::SysFreeString(name);
    ::SysFreeString(help);
    const struct {
        const GUID* guid;
        TYPEKIND kind;
        const char* name;
    } types[] = {
        {&DIID__DTessalyExt, TKIND_DISPATCH, "_DTessalyExt"},
        {&DIID__DTessalyExtEvents, TKIND_DISPATCH, "_DTessalyExtEvents"},
        {&IID_ISinkObject, TKIND_DISPATCH, "ISinkObject"},   // a dual interface reads as its dispatch side
        {&CLSID_TessalyExt, TKIND_COCLASS, "TessalyExt"},
        {&CLSID_SinkObject, TKIND_COCLASS, "SinkObject"},
    };
    EXPECT_EQ(5u, lib->GetTypeInfoCount());
    for (const auto& t : types) {
        SCOPED_TRACE(t.name);
        ITypeInfo* info = nullptr;
        ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(*t.guid, &info));
        TYPEATTR* ta = nullptr;
        info->GetTypeAttr(&ta);
        EXPECT_EQ(t.kind, ta->typekind);
        // No members of its own: at most the seven of IUnknown and IDispatch.
        EXPECT_TRUE(ta->cFuncs == 0 || ta->cFuncs == 7) << ta->cFuncs;
        EXPECT_EQ(0, ta->cVars);
        info->ReleaseTypeAttr(ta);
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        EXPECT_EQ(t.name, Narrow(name));
        ::SysFreeString(name);
        info->Release();
    }
    lib->Release();
}
