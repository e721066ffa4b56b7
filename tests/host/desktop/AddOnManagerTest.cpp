// The add-on manager as an add-on and desktop.exe meet it: registered by
// regsvr32, called by function-table position (not through our own header,
// so that a slot out of place shows), its entries kept in the registry; the
// type libraries it registers (that IDispatch reaches the function tables
// through them is tested with the container). What a registration writes
// and logs, and its failing calls, are tested with the real add-on in the
// extension's tests.
#include "DesktopTestSupport.h"
#include "PalmDesktop.h"

#include <gtest/gtest.h>

#include <vector>

using namespace PalmDesktop;

namespace {

const LONG kVqxa = 0x56717861;

// Calls the operation at `position` of an interface's function table.
template <class... A>
HRESULT At(IUnknown* object, int position, A... args)
{
    using Fn = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, A...);
    return reinterpret_cast<Fn>((*reinterpret_cast<void***>(object))[position])(object, args...);
}

struct Bstr {
    explicit Bstr(const wchar_t* s) : b(SysAllocString(s)) {}
    ~Bstr() { SysFreeString(b); }
    BSTR b;
};

std::wstring Text(IUnknown* object, int position)
{
    BSTR b = nullptr;
    EXPECT_EQ(S_OK, At(object, position, &b)) << position;
    std::wstring s = b ? b : L"(null)";
    SysFreeString(b);
    return s;
}

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
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_AddOnManager, nullptr, CLSCTX_INPROC_SERVER, IID_IAddOnManager,
                                         reinterpret_cast<void**>(&manager)));
    }
    void TearDown() override
    {
        if (manager)
            manager->Release();
        desktoptest::ClearStandIn();
    }
    IUnknown* Create(const wchar_t* name, HRESULT expected = S_OK)
    {
        Bstr n(name), d(L"c:\\TessalyExt.html"), l(L"c:\\TessalyExt32.bmp");
        IUnknown* entry = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(expected, At(manager, 9, n.b, kVqxa, d.b, l.b, &entry)) << name;
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

TEST_F(AddOnManagerTest, EntriesKeepTheirValuesAtTheirPositions)
{
    IUnknown* entry = Create(L"Tessaly");
    ASSERT_TRUE(entry);
    EXPECT_EQ(nullptr, Create(L"Tessaly", HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS))) << "the old one goes first";
    for (const wchar_t* bad : {L"", L"a\\b"})
        EXPECT_EQ(nullptr, Create(bad, E_INVALIDARG));
    EXPECT_EQ(L"c:\\TessalyExt.html", Text(entry, 13));
    EXPECT_EQ(L"c:\\TessalyExt32.bmp", Text(entry, 19));
    EXPECT_EQ(L"", Text(entry, 15)) << "a value never set reads as empty";
    // Each setter, and the getter that reads it back from another object.
    IUnknown* again = Find(L"Tessaly");
    ASSERT_TRUE(again);
    const struct {
        int put, get;
        const wchar_t* text;
    } setters[] = {{10, 9, L"&Tessaly"}, {12, 11, L"Tessaly"}, {16, 15, L"record.dat"}, {18, 17, L"Tessaly-Vqxa"},
                   {24, 23, L"c:\\TessalyExt16.bmp"}};
    for (const auto& s : setters) {
        Bstr text(s.text);
        ASSERT_EQ(S_OK, At(entry, s.put, text.b)) << s.put;
        EXPECT_EQ(s.text, Text(again, s.get)) << s.get;
    }
    LONG flag = 0, creator = 0;
    ASSERT_EQ(S_OK, At(entry, 32, LONG(1)));
    EXPECT_EQ(S_OK, At(again, 31, &flag));
    EXPECT_EQ(S_OK, At(again, 8, &creator));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(kVqxa, creator);

    // The entries in name order, as desktop.exe lists them.
    IUnknown* other = Create(L"Other");
    std::vector<std::wstring> names;
    LONG count = 0;
    EXPECT_EQ(S_OK, manager->get_Count(&count));
    for (LONG i = 0; i <= count; ++i) {
        IUnknown* e = nullptr;
        if (SUCCEEDED(At(manager, 8, i, &e)))
            names.push_back(Text(e, 7)), e->Release();
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Other", L"Tessaly"}), names);

    // Removal ends the entry for every object of it.
    EXPECT_EQ(S_OK, At(entry, 38));
    EXPECT_EQ(nullptr, Find(L"Tessaly"));
    Bstr late(L"late");
    EXPECT_TRUE(FAILED(At(again, 12, late.b))) << "a removed entry must not come back";
    EXPECT_EQ(nullptr, Find(L"Tessaly"));
    for (IUnknown* e : {entry, again, other})
        e->Release();
    manager->Release();
    manager = nullptr;
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("PalmAddOn.dll"), "DllCanUnloadNow")));
    ASSERT_TRUE(canUnload);
    EXPECT_EQ(S_OK, canUnload()) << "every object counted is given back";
}

TEST_F(AddOnManagerTest, UnregisteringRemovesTheClassAndLibrariesAndKeepsTheEntries)
{
    Create(L"Tessaly")->Release();
    manager->Release();
    manager = nullptr;
    ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll", true));
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_AddOnManager, nullptr, CLSCTX_INPROC_SERVER,
                                                    IID_IAddOnManager, reinterpret_cast<void**>(&manager)));
    ITypeLib* lib = nullptr;
    for (const GUID* id : {&LIBID_AddOnService, &LIBID_Application})
        EXPECT_TRUE(FAILED(LoadRegTypeLib(*id, 1, 0, LOCALE_NEUTRAL, &lib)));
    EXPECT_NE("(no key)", desktoptest::GetString(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn\\AddOns\\Tessaly",
                                                 "Description"));
    ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll"));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_AddOnManager, nullptr, CLSCTX_INPROC_SERVER, IID_IAddOnManager,
                                     reinterpret_cast<void**>(&manager)));
}

} // namespace
