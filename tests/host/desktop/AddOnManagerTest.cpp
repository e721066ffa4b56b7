// The add-on manager as an add-on and desktop.exe meet it: registered by
// regsvr32, called by function-table position (not through our own header,
// so that a slot out of place shows), its entries kept in the registry. What
// a registration writes and logs, and its failing calls, are tested with the
// real add-on in the extension's tests.
#include "ComBase.h"
#include "DesktopTestSupport.h"
#include "PalmDesktop.h"

#include <gtest/gtest.h>

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
    explicit Bstr(const char* s) : b(desktop::AnsiToBstr(s)) {}
    ~Bstr() { SysFreeString(b); }
    BSTR b;
};

std::string Text(IUnknown* object, int position)
{
    BSTR b = nullptr;
    EXPECT_EQ(S_OK, At(object, position, &b)) << position;
    std::string s = b ? desktop::BstrToAnsi(b) : "(null)";
    SysFreeString(b);
    return s;
}

IAddOnManager* NewManager()
{
    IAddOnManager* manager = nullptr;
    CoCreateInstance(CLSID_AddOnManager, nullptr, CLSCTX_INPROC_SERVER, IID_IAddOnManager,
                     reinterpret_cast<void**>(&manager));
    return manager;
}

// By name, from CreateAddOn (position 9) or, with no pictures, FindAddOn (11).
IUnknown* Entry(IUnknown* manager, const char* name, HRESULT expected = S_OK, bool create = true)
{
    Bstr n(name), d("c:\\TessalyExt.html"), l("c:\\TessalyExt32.bmp");
    IUnknown* entry = reinterpret_cast<IUnknown*>(1);
    HRESULT hr = create ? At(manager, 9, n.b, kVqxa, d.b, l.b, &entry) : At(manager, 11, n.b, &entry);
    EXPECT_EQ(expected, hr) << name;
    return entry;
}

TEST(AddOnManager, EntriesKeepTheirValuesAtTheirPositionsUntilRemoved)
{
    CoInitialize(nullptr);
    ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll"));
    desktoptest::ClearStandIn();
    desktop::ComPtr<IAddOnManager> manager(NewManager());
    ASSERT_TRUE(manager);
    IUnknown* entry = Entry(manager.Get(), "Tessaly");
    ASSERT_TRUE(entry);
    EXPECT_EQ(nullptr, Entry(manager.Get(), "Tessaly", HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)))
        << "the old one goes first";
    for (const char* bad : {"", "a\\b"})
        EXPECT_EQ(nullptr, Entry(manager.Get(), bad, E_INVALIDARG));
    // Each getter, and the setter whose value another object of it reads back.
    IUnknown* again = Entry(manager.Get(), "Tessaly", S_OK, false);
    ASSERT_TRUE(again);
    const struct {
        int put, get;
        const char* text;
    } values[] = {{0, 13, "c:\\TessalyExt.html"}, {0, 19, "c:\\TessalyExt32.bmp"}, {0, 15, ""},   // never set
                  {10, 9, "&Tessaly"},  {12, 11, "Tessaly"},  {16, 15, "record.dat"},
                  {18, 17, "Tessaly-Vqxa"}, {24, 23, "c:\\TessalyExt16.bmp"}};
    for (const auto& v : values) {
        Bstr text(v.text);
        ASSERT_EQ(S_OK, v.put ? At(entry, v.put, text.b) : S_OK) << v.put;
        EXPECT_EQ(v.text, Text(again, v.get)) << v.get;
    }
    LONG flag = 0, creator = 0;
    ASSERT_EQ(S_OK, At(entry, 32, LONG(1)));
    EXPECT_EQ(S_OK, At(again, 31, &flag));
    EXPECT_EQ(S_OK, At(again, 8, &creator));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(kVqxa, creator);
    // The entries in name order, as desktop.exe lists them.
    Entry(manager.Get(), "Other")->Release();
    IUnknown* first = nullptr;
    ASSERT_EQ(S_OK, At(manager.Get(), 8, LONG(0), &first));
    EXPECT_EQ("Other", Text(first, 7));
    first->Release();

    // Removal ends the entry for every object of it.
    EXPECT_EQ(S_OK, At(entry, 38));
    EXPECT_EQ(nullptr, Entry(manager.Get(), "Tessaly", S_OK, false));
    Bstr late("late");
    EXPECT_TRUE(FAILED(At(again, 12, late.b))) << "a removed entry must not come back";
    EXPECT_EQ(nullptr, Entry(manager.Get(), "Tessaly", S_OK, false));
    entry->Release(), again->Release(), manager.Reset();
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("PalmAddOn.dll"), "DllCanUnloadNow")));
    ASSERT_TRUE(canUnload);
    EXPECT_EQ(S_OK, canUnload()) << "every object counted is given back";

    // Unregistered: no class, no type libraries, and the entries stay.
    ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll", true));
    EXPECT_EQ(nullptr, NewManager());
    ITypeLib* lib = nullptr;
    for (const GUID* id : {&LIBID_AddOnService, &LIBID_Application})
        EXPECT_TRUE(FAILED(LoadRegTypeLib(*id, 1, 0, LOCALE_NEUTRAL, &lib)));
    EXPECT_NE("(no key)", desktoptest::GetString(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn\\AddOns\\Other",
                                                 "Description"));
    ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll"));
    desktoptest::ClearStandIn();
}

} // namespace
