// The add-on manager as an add-on's registration meets it: registered by
// regsvr32, created by its CLSID, called by function-table position (not
// through our own header, so that a slot out of place shows), entries kept
// in the registry; the type libraries it registers with their IDs,
// positions and event parameter types.
#include "DesktopTestSupport.h"
#include "PalmDesktop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

using namespace PalmDesktop;
using desktoptest::GetString;

namespace {

const char kEntry[] = "Software\\PalmDesktopStandIn\\AddOns\\Tessaly";
const LONG kVqxa = 0x56717861;

// Calls the operation at `position` of an interface's function table.
template <class... A>
HRESULT At(IUnknown* object, int position, A... args)
{
    using Fn = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, A...);
    void** vtbl = *reinterpret_cast<void***>(object);
    return reinterpret_cast<Fn>(vtbl[position])(object, args...);
}

struct Bstr {
    explicit Bstr(const wchar_t* s) : b(SysAllocString(s)) {}
    ~Bstr() { SysFreeString(b); }
    BSTR b;
};

class AddOnManagerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CoInitialize(nullptr);
        ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll"));
    }
    void SetUp() override
    {
        desktoptest::ClearStandIn();
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_AddOnManager, nullptr, 0x17, IID_IAddOnManager,
                                                  reinterpret_cast<void**>(&manager)));
    }
    void TearDown() override
    {
        if (manager)
            manager->Release();
        desktoptest::ClearStandIn();
    }
    IUnknown* Create(const wchar_t* name, HRESULT* result = nullptr)
    {
        Bstr n(name), d(L"c:\\TessalyExt.html"), l(L"c:\\TessalyExt32.bmp");
        IUnknown* entry = nullptr;
        HRESULT hr = At(manager, 9, n.b, kVqxa, d.b, l.b, &entry);
        if (result)
            *result = hr;
        return entry;
    }
    IUnknown* Find(const wchar_t* name)
    {
        Bstr n(name);
        IUnknown* entry = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(S_OK, At(manager, 11, n.b, &entry));
        return entry;
    }
    IAddOnManager* manager = nullptr;
};

TEST_F(AddOnManagerTest, EntryPropertiesAtTheirPositionsPersistInTheRegistry)
{
    IUnknown* entry = Create(L"Tessaly");
    ASSERT_TRUE(entry);
    DWORD stored = 0, size = sizeof stored;
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kEntry, 0, KEY_READ, &k));
    RegQueryValueExA(k, "CreatorID", nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size);
    RegCloseKey(k);
    EXPECT_EQ(static_cast<DWORD>(kVqxa), stored);
    EXPECT_EQ("c:\\TessalyExt.html", GetString(HKEY_CURRENT_USER, kEntry, "Description"));
    EXPECT_EQ("c:\\TessalyExt32.bmp", GetString(HKEY_CURRENT_USER, kEntry, "LargeBitmap"));

    // Each setter the add-on calls, the registry value it fills and the
    // getter that reads it back.
    const struct {
        int put, get;
        const char* value;
        const wchar_t* text;
    } setters[] = {
        {10, 9, "MenuCaption", L"&Tessaly"},   {12, 11, "NameText", L"Tessaly"},
        {16, 15, "DataFileName", L"record.dat"}, {18, 17, "DatabaseName", L"Tessaly-Vqxa"},
        {24, 23, "SmallBitmap", L"c:\\TessalyExt16.bmp"},
    };
    for (const auto& s : setters) {
        Bstr text(s.text);
        ASSERT_EQ(S_OK, At(entry, s.put, text.b)) << s.value;
        BSTR back = nullptr;
        ASSERT_EQ(S_OK, At(entry, s.get, &back)) << s.value;
        EXPECT_STREQ(s.text, back) << s.value;
        SysFreeString(back);
        char expected[256];
        WideCharToMultiByte(CP_ACP, 0, s.text, -1, expected, sizeof expected, nullptr, nullptr);
        EXPECT_EQ(expected, GetString(HKEY_CURRENT_USER, kEntry, s.value));
    }
    ASSERT_EQ(S_OK, At(entry, 32, LONG(1)));
    LONG flag = 0, creator = 0;
    EXPECT_EQ(S_OK, At(entry, 31, &flag));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(S_OK, At(entry, 8, &creator));
    EXPECT_EQ(kVqxa, creator);

    // A second object of the same entry sees the same values; removing the
    // entry ends both.
    IUnknown* again = Find(L"Tessaly");
    ASSERT_TRUE(again);
    BSTR caption = nullptr;
    EXPECT_EQ(S_OK, At(again, 9, &caption));
    EXPECT_STREQ(L"&Tessaly", caption);
    SysFreeString(caption);
    EXPECT_EQ(S_OK, At(entry, 38));
    EXPECT_EQ(nullptr, Find(L"Tessaly"));
    Bstr late(L"late");
    EXPECT_TRUE(FAILED(At(again, 12, late.b))) << "a removed entry must not come back";
    EXPECT_EQ("(no key)", GetString(HKEY_CURRENT_USER, kEntry, "NameText"));
    again->Release();
    entry->Release();
}

TEST_F(AddOnManagerTest, CreateFindAndCount)
{
    EXPECT_EQ(nullptr, Find(L"Tessaly"));
    HRESULT hr = E_FAIL;
    IUnknown* a = Create(L"Tessaly", &hr);
    EXPECT_EQ(S_OK, hr);
    IUnknown* b = Create(L"Other", &hr);
    EXPECT_EQ(S_OK, hr);
    IUnknown* dup = Create(L"Tessaly", &hr);
    EXPECT_TRUE(FAILED(hr)) << "an entry of the same name already exists";
    EXPECT_EQ(nullptr, dup);
    for (const wchar_t* bad : {L"", L"a\\b"}) {
        EXPECT_EQ(nullptr, Create(bad, &hr));
        EXPECT_EQ(E_INVALIDARG, hr);
    }
    LONG count = 0;
    EXPECT_EQ(S_OK, manager->get_Count(&count));
    EXPECT_EQ(2, count);
    std::vector<std::wstring> names;
    for (LONG i = 0; i < count; ++i) {
        IAddOn* e = nullptr;
        ASSERT_EQ(S_OK, manager->Item(i, &e));
        BSTR n = nullptr;
        e->get_Name(&n);
        names.push_back(n);
        SysFreeString(n);
        e->Release();
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Other", L"Tessaly"}), names);
    IAddOn* none = nullptr;
    EXPECT_TRUE(FAILED(manager->Item(2, &none)));
    a->Release();
    b->Release();
}

TEST_F(AddOnManagerTest, ChosenPositionsFailAndTheCallsAreLogged)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string log = std::string(temp) + "addon-calls.txt";
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("TESSALY_HOTSYNC_CALLS", log.c_str());
    desktoptest::SetString(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn", "FailAddOn", "16, 38");
    IUnknown* entry = Create(L"Tessaly");
    ASSERT_TRUE(entry);
    Bstr name(L"Tessaly"), file(L"record.dat");
    EXPECT_EQ(S_OK, At(entry, 12, name.b));
    EXPECT_EQ(E_FAIL, At(entry, 16, file.b));
    EXPECT_EQ("(no value)", GetString(HKEY_CURRENT_USER, kEntry, "DataFileName"));
    EXPECT_EQ(E_FAIL, At(entry, 38));
    EXPECT_NE("(no key)", GetString(HKEY_CURRENT_USER, kEntry, "NameText"));
    entry->Release();
    desktoptest::SetString(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn", "FailManager", "11");
    IUnknown* found = nullptr;
    EXPECT_EQ(E_FAIL, At(manager, 11, name.b, &found));
    EXPECT_EQ(nullptr, found);
    SetEnvironmentVariableA("TESSALY_HOTSYNC_CALLS", nullptr);

    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ("manager 9 Tessaly 1450276961 c:\\TessalyExt.html c:\\TessalyExt32.bmp = 0x00000000\n"
              "addon 12 Tessaly Tessaly = 0x00000000\n"
              "addon 16 Tessaly record.dat = 0x80004005\n"
              "addon 38 Tessaly = 0x80004005\n"
              "manager 11 Tessaly = 0x80004005\n",
              text.str());
    DeleteFileA(log.c_str());
}

TEST_F(AddOnManagerTest, ModuleCountsItsObjects)
{
    manager->Release();   // the fixture's would be counted too
    manager = nullptr;
    HMODULE dll = LoadLibraryA((desktoptest::BinDir() + "\\PalmAddOn.dll").c_str());
    ASSERT_TRUE(dll);
    auto getClass = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    auto canUnload =
        reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    ASSERT_TRUE(getClass && canUnload);
    IClassFactory* factory = nullptr;
    void* nothing = nullptr;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClass(IID_IAddOn, IID_IClassFactory, &nothing));
    ASSERT_EQ(S_OK, getClass(CLSID_AddOnManager, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    IAddOnManager* m = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IAddOnManager, reinterpret_cast<void**>(&m)));
    factory->LockServer(TRUE);
    factory->Release();
    IUnknown* unknown = nullptr;
    EXPECT_EQ(E_NOINTERFACE, m->QueryInterface(IID_IAddOn, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(S_FALSE, canUnload());
    m->Release();
    EXPECT_EQ(S_FALSE, canUnload()) << "the lock still holds";
    getClass(CLSID_AddOnManager, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(S_OK, canUnload());
}

// Each checked operation: its library, interface, name, and position in the
// function table (or DISPID for an event) with the types of its parameters.
struct Member {
    const GUID* lib;
    const IID* iid;
    const wchar_t* name;
    int position;
    std::vector<VARTYPE> params;   // VT_BYREF marks an out parameter
};

VARTYPE ParamType(const TYPEDESC& td)
{
    if (td.vt == VT_PTR)
        return static_cast<VARTYPE>(td.lptdesc->vt | VT_BYREF);
    return td.vt;
}

TEST_F(AddOnManagerTest, TypeLibrariesCarryThePositionsAndEventTypes)
{
    const VARTYPE I4 = VT_I4, S = VT_BSTR, OutI4 = VT_I4 | VT_BYREF, OutS = VT_BSTR | VT_BYREF;
    const VARTYPE OutD = VT_PTR | VT_BYREF;
    const GUID* svc = &LIBID_AddOnService;
    const GUID* app = &LIBID_Application;
    const std::vector<Member> members = {
        {svc, &IID_IAddOnService, L"GetApplication", 7, {OutD}},
        {svc, &IID_IAddOnService, L"GetCommandIDBase", 12, {OutI4}},
        {svc, &IID_IAddOnService, L"GetCurrentUser", 16, {OutS, OutS}},
        {svc, &IID_IAddOnService, L"IsActive", 17, {OutI4}},
        {svc, &IID_IAddOnService, L"SetReady", 19, {I4}},
        {app, &IID_IApplication, L"GetFrame", 16, {OutD}},
        {app, &IID_IFrame, L"GetMenuBar", 10, {OutI4}},
        {app, &IID_IFrame, L"GetMenuPosition", 13, {I4, I4, OutI4}},
        {app, &IID_IFrame, L"GetStatusBar", 14, {OutD}},
        {app, &IID_IStatusBar, L"SetPaneText", 9, {I4, S}},
        {svc, &DIID_ServiceEvents, nullptr, 1, {I4}},
        {svc, &DIID_ServiceEvents, nullptr, 2, {S, S}},
        {svc, &DIID_ServiceEvents, nullptr, 3, {S, S}},
        {svc, &DIID_ServiceEvents, nullptr, 4, {I4, OutI4}},
        {svc, &DIID_ServiceEvents, nullptr, 5, {I4, OutI4, OutI4, OutI4, OutI4}},
        {svc, &DIID_ServiceEvents, nullptr, 6, {I4, OutI4, OutS}},
        {svc, &DIID_ServiceEvents, nullptr, 8, {OutI4}},
        {svc, &DIID_ServiceEvents, nullptr, 9, {OutI4}},
        {svc, &DIID_ServiceEvents, nullptr, 10, {I4, I4, I4, I4, I4, I4, I4, OutI4}},
        {svc, &DIID_ServiceEvents, nullptr, 13, {S, I4, I4}},
        {svc, &DIID_ServiceEvents, nullptr, 14, {OutS, OutS, OutI4, OutI4}},
        {svc, &DIID_ServiceEvents, nullptr, 15, {I4, I4}},
        {app, &DIID_ApplicationEvents, nullptr, 5, {S, OutI4, OutS}},
        {app, &DIID_FrameEvents, nullptr, 1, {I4}},
    };
    for (const Member& m : members) {
        SCOPED_TRACE(m.name ? std::string("method at ") + std::to_string(m.position)
                            : "event " + std::to_string(m.position));
        ITypeLib* lib = nullptr;
        ASSERT_EQ(S_OK, LoadRegTypeLib(*m.lib, 1, 0, LOCALE_NEUTRAL, &lib));
        ITypeInfo* info = nullptr;
        ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(*m.iid, &info));
        lib->Release();
        if (m.name) {   // the function-table half of the dual interface
            HREFTYPE ref;
            ITypeInfo* vtbl = nullptr;
            ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(-1, &ref));
            ASSERT_EQ(S_OK, info->GetRefTypeInfo(ref, &vtbl));
            info->Release();
            info = vtbl;
        }
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        bool matched = false;
        for (UINT f = 0; f < attr->cFuncs && !matched; ++f) {
            FUNCDESC* fd = nullptr;
            info->GetFuncDesc(f, &fd);
            BSTR name = nullptr;
            info->GetDocumentation(fd->memid, &name, nullptr, nullptr, nullptr);
            bool hit = m.name ? std::wstring(name) == m.name : fd->memid == m.position;
            if (hit) {
                matched = true;
                if (m.name) {
                    EXPECT_EQ(m.position * 4, fd->oVft);
                }
                std::vector<VARTYPE> params;
                for (SHORT p = 0; p < fd->cParams; ++p)
                    params.push_back(ParamType(fd->lprgelemdescParam[p].tdesc));
                // An object out parameter may be described either way.
                if (!params.empty() && params[0] == (VT_DISPATCH | VT_BYREF))
                    params[0] = OutD;
                EXPECT_EQ(m.params, params);
            }
            SysFreeString(name);
            info->ReleaseFuncDesc(fd);
        }
        EXPECT_TRUE(matched);
        info->ReleaseTypeAttr(attr);
        info->Release();
    }
}

TEST_F(AddOnManagerTest, UnregisteringRemovesTheClassAndKeepsTheEntries)
{
    IUnknown* entry = Create(L"Tessaly");
    ASSERT_TRUE(entry);
    entry->Release();
    manager->Release();
    manager = nullptr;
    ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll", true));
    IAddOnManager* m = nullptr;
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_AddOnManager, nullptr, 0x17, IID_IAddOnManager,
                                                    reinterpret_cast<void**>(&m)));
    ITypeLib* lib = nullptr;
    EXPECT_TRUE(FAILED(LoadRegTypeLib(LIBID_Application, 1, 0, LOCALE_NEUTRAL, &lib)));
    EXPECT_NE("(no key)", GetString(HKEY_CURRENT_USER, kEntry, "Description"));
    ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll"));
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_AddOnManager, nullptr, 0x17, IID_IAddOnManager,
                                              reinterpret_cast<void**>(&manager)));
}

} // namespace
