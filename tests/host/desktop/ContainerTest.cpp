// The container's half of the add-on conversation, with probe sinks in place
// of a control (the real one is hosted in the extension's tests); the paths
// and command lines the host gives an add-on and hotsync.
#include "AddOnStore.h"
#include "ComBase.h"
#include "DesktopTestSupport.h"
#include "HostPaths.h"
#include "PalmDesktop.h"
#include "ProbeControl.h"

#include <commctrl.h>
#include <olectl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

using namespace PalmDesktop;
using desktop::ComPtr;
using desktop::Container;
using desktop::EventSet;

namespace {

const IID* const kEvents[] = {&DIID_ServiceEvents, &DIID_ApplicationEvents, &DIID_FrameEvents};

class ContainerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        OleInitialize(nullptr);
        // The objects' IDispatch reads the registered type libraries.
        ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll"));
    }
    void SetUp() override { probe::Log().clear(), SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\DesktopProbe"); }
    void TearDown() override
    {
        container.reset();
        EXPECT_EQ(0, probe::LiveObjects()) << "the container kept a sink";
        SetUp();
        desktoptest::ClearStandIn();
    }
    IConnectionPoint* Point(EventSet set)   // the container holds it
    {
        ComPtr<IConnectionPointContainer> cpc;
        ComPtr<IConnectionPoint> point;
        container->Object(set)->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc));
        EXPECT_EQ(S_OK, cpc->FindConnectionPoint(*kEvents[int(set)], &point));
        return point.Get();
    }
    DWORD Connect(const char* tag, EventSet set)
    {
        ComPtr<IDispatch> sink(probe::NewSink(tag, int(set)));
        DWORD cookie = 0;
        EXPECT_EQ(S_OK, Point(set)->Advise(sink.Get(), &cookie));
        return cookie;
    }
    desktoptest::HostWindow host;
    std::unique_ptr<Container> container = std::make_unique<Container>(host.Options());
};

std::string N(LONG n) { return std::to_string(n); }

// The text of a BSTR given out, which is freed.
std::string Take(BSTR& b)
{
    std::string s = b ? desktop::BstrToAnsi(b) : "null";
    SysFreeString(b);
    b = nullptr;
    return s;
}

// Each event goes to the sinks in the order they connected, arguments in
// their order; an event with an answer stops at the first sink that gives one.
// (desktop.exe's test sees the rest of the events with one sink.)
TEST_F(ContainerTest, EventsReachEverySinkAndTheFirstAnswerCounts)
{
    Connect("A ", EventSet::Service);
    Connect("B ", EventSet::Service);
    Container& c = *container;
    auto both = [](const std::string& line) { return std::vector<std::string>{"A " + line, "B " + line}; };
    auto hits = [&] {   // every hit until found = 0
        std::string hits;
        desktop::FindHit hit;
        for (int i = 0; i < 5 && c.FireFindNext(hit); ++i)
            hits += hit.first + "/" + hit.second + "/" + N(hit.index) + " ";
        return hits;
    };
    const MSG key = {reinterpret_cast<HWND>(0x1234), WM_KEYDOWN, VK_F8, 3, 5, {6, 7}};
    const struct {
        std::vector<std::pair<const char*, const char*>> answers;
        std::function<std::string()> fire;
        std::string result;
        std::vector<std::string> log;
    } cases[] = {
        {{}, [&] { return N(c.FireCommand(20011)); }, "0", both("service 4 20011")},
        {{{"B service 4 20011", "1"}}, [&] { return N(c.FireCommand(20011)); }, "1", both("service 4 20011")},
        {{{"A service 4", "1"}}, [&] { return N(c.FireCommand(20011)); }, "1", {"A service 4 20011"}},
        {{{"A service 10", "0"}, {"B service 10", "1"}}, [&] { return N(c.FirePreTranslate(key)); }, "1",
         both("service 10 4660 256 119 3 5 6 7")},
        {{}, [&] { return c.FireFindStart("apple", true, false), ""; }, "", both("service 13 apple 1 0")},
        {{{"A service 14", "|||0"}, {"B service 14", "Apple pie|sweet|1|1;apple tree||3|1;|||0"}}, hits,
         "Apple pie/sweet/1 apple tree//3 ",
         {"A service 14", "B service 14", "A service 14", "B service 14", "A service 14", "B service 14"}},
        {{}, [&] { return c.FireFindGoTo(3, true), ""; }, "", both("service 15 3 1")},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.log.front());
        SetUp();
        for (const auto& a : k.answers)
            probe::Answer(a.first, a.second);
        probe::Log().clear();
        EXPECT_EQ(k.result, k.fire());
        EXPECT_EQ(k.log, probe::Log());
    }
}

TEST_F(ContainerTest, ConnectionsAreKeptByCookie)
{
    DWORD a = Connect("A ", EventSet::Service), b = Connect("B ", EventSet::Service),
          f = Connect("A ", EventSet::Frame);
    EXPECT_EQ(3u, (std::set<DWORD>{a, b, f}.size()));
    EXPECT_EQ((std::vector<DWORD>{a, b}), container->Cookies(EventSet::Service));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, Point(EventSet::Service)->Unadvise(f));
    EXPECT_EQ(S_OK, Point(EventSet::Service)->Unadvise(a));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, Point(EventSet::Service)->Unadvise(a));
    container->FireActivate(true);
    EXPECT_EQ(std::vector<std::string>{"B service 1 1"}, probe::Log());
    // A sink has to answer the set's own event interface.
    ComPtr<IDispatch> other(probe::NewSink("", int(EventSet::Frame)));
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, Point(EventSet::Service)->Advise(other.Get(), &a));
    ComPtr<IConnectionPointContainer> cpc;
    ComPtr<IConnectionPoint> none;
    container->Object(EventSet::Frame)->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, cpc->FindConnectionPoint(DIID_ServiceEvents, &none));
}

TEST_F(ContainerTest, HostObjectsAnswerAtTheirPositionsUnlessListedToFail)
{
    container->SetUser("Taro", "D:\\x\\record.dat");
    container->SetActive(true);
    ComPtr<IAddOnService> service;
    ComPtr<IApplication> app;
    ComPtr<IFrame> frame;
    ComPtr<IStatusBar> bar;
    container->Object(EventSet::Service)->QueryInterface(IID_IAddOnService, reinterpret_cast<void**>(&service));
    container->Object(EventSet::Application)->QueryInterface(IID_IApplication, reinterpret_cast<void**>(&app));
    container->Object(EventSet::Frame)->QueryInterface(IID_IFrame, reinterpret_cast<void**>(&frame));
    container->StatusBarObject()->QueryInterface(IID_IStatusBar, reinterpret_cast<void**>(&bar));
    ASSERT_TRUE(service && app && frame && bar);
    // What an object handed out: which of the host's it is.
    IDispatch* d = nullptr;
    auto which = [&] {
        std::string s = !d ? "null" : d == container->Object(EventSet::Application) ? "application"
                                    : d == container->Object(EventSet::Frame)       ? "frame"
                                    : d == container->StatusBarObject()             ? "status bar"
                                                                                    : "other";
        if (d)
            d->Release();
        return s;
    };
    LONG n = 5;
    BSTR user = nullptr, file = nullptr, text = SysAllocString(L"3 / 5");
    const struct {
        const char* list;
        const char* position;
        std::function<HRESULT()> call;
        std::function<std::string()> result;   // read after the call
        std::string ok, failed;
    } calls[] = {
        {"FailService", "7", [&] { return service->GetApplication(&d); }, which, "application", "null"},
        {"FailService", "12", [&] { return service->GetCommandIDBase(&n); }, [&] { return N(n); }, "40000", "0"},
        {"FailService", "16", [&] { return service->GetCurrentUser(&user, &file); },
         [&] { return Take(user) + " " + Take(file); }, "Taro D:\\x\\record.dat", "null null"},
        {"FailService", "17", [&] { return service->IsActive(&n); }, [&] { return N(n); }, "1", "0"},
        {"FailService", "19", [&] { return service->SetReady(7); }, [&] { return N(container->ReadyValue()); }, "7", "-1"},
        {"FailApplication", "16", [&] { return app->GetFrame(&d); }, which, "frame", "null"},
        {"FailFrame", "10", [&] { return frame->GetMenuBar(&n); },
         [&] { return n == LONG(reinterpret_cast<INT_PTR>(host.menu)) ? "bar" : N(n); }, "bar", "0"},
        {"FailFrame", "13", [&] { return frame->GetMenuPosition(MenuEdit, CmdEditCopy, &n); }, [&] { return N(n); },
         "4", "-1"},
        {"FailFrame", "14", [&] { return frame->GetStatusBar(&d); }, which, "status bar", "null"},
        {"FailStatusBar", "9", [&] { return bar->SetPaneText(1, text); },
         [&] {
             char pane[64] = "";
             SendMessageA(host.status, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(pane));
             return container->PaneText(1) + "/" + pane;
         },
         "3 / 5/3 / 5", "/"},
    };
    // Failing first, so that what the working call leaves is not seen then.
    std::map<std::string, std::string> lists;
    for (const auto& c : calls)
        lists[c.list] += std::string(c.position) + " ";
    for (bool fail : {true, false}) {
        for (const auto& l : lists)
            desktoptest::SetString(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn", l.first.c_str(),
                                   fail ? l.second : "");
        for (const auto& c : calls) {
            HRESULT hr = c.call();
            EXPECT_EQ(fail ? E_FAIL : S_OK, hr) << c.list << " " << c.position;
            EXPECT_EQ(fail ? c.failed : c.ok, c.result()) << c.list << " " << c.position;
        }
    }

    // The menu bar's places, and item IDs that are not the items' commands.
    const struct {
        LONG menu, item, position;
    } places[] = {{MenuFile, 0, 0}, {MenuTools, 0, 3}, {MenuFile, CmdFileSave, 1}, {MenuView, CmdViewSmall, 2},
                  {MenuTools, CmdToolsCategories, 0}, {18005, 0, -1}, {MenuFile, CmdEditCopy, -1}};
    for (const auto& p : places) {
        n = -2;
        EXPECT_EQ(p.position >= 0, SUCCEEDED(frame->GetMenuPosition(p.menu, p.item, &n))) << p.menu << " " << p.item;
        EXPECT_EQ(p.position, n) << p.menu << " " << p.item;
    }
    HMENU edit = GetSubMenu(host.menu, 1);
    EXPECT_EQ(desktop::CommandOfItem(CmdEditCopy), GetMenuItemID(edit, 4));
    EXPECT_EQ(E_INVALIDARG, bar->SetPaneText(2, text));
    SysFreeString(text);

    // IDispatch reaches the same slots through the registered type library.
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"GetCommandIDBase");
    ASSERT_EQ(S_OK, service->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {};
    ASSERT_EQ(S_OK, service->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr));
    EXPECT_EQ(40000, V_I4(&result));
}

// Paths as hotsync writes them, the command line given to it, and the
// control that shows an add-on.
TEST(HostPaths, DataFilesQuotingAndControlNames)
{
    const char kKey[] = "Software\\HotSync\\Conduits\\Vqxa";
    const LONG vqxa = 0x56717861;
    const struct {
        const char* directory;   // null: no registration
        const char* fileName;
        const char* path;
    } files[] = {
        {nullptr, "record.dat", "C:\\r\\Hanako\\Tessaly\\record.dat"},   // the add-on's name stands for the folder
        {"MyMemo", "record.dat", "C:\\r\\Hanako\\MyMemo\\record.dat"},
        {"MyMemo", "", "C:\\r\\Hanako\\MyMemo\\GenericDB.DAT"},
        {"", "record.dat", "C:\\r\\Hanako\\record.dat"},
    };
    for (const auto& f : files) {
        SHDeleteKeyA(HKEY_CURRENT_USER, kKey);
        if (f.directory)
            desktoptest::SetString(HKEY_CURRENT_USER, kKey, "Directory", f.directory);
        EXPECT_EQ(f.path, desktop::DataFilePath("C:\\r", "Hanako", vqxa, f.fileName, "Tessaly"));
    }
    SHDeleteKeyA(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ("Vqxa", desktop::CreatorText(vqxa));
    EXPECT_EQ("", desktop::CreatorText(0x56715C61)) << "a backslash cannot name a registry key";

    const struct {
        std::string in, out;
    } quotes[] = {
        {"plain", "plain"}, {"C:\\dir\\", "C:\\dir\\"}, {"", "\"\""}, {"C:\\my dir\\", "\"C:\\my dir\\\\\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""}, {"a\\\"b", "\"a\\\\\\\"b\""},
        {"\x95\x5C \x95\x5C", "\"\x95\x5C \x95\x5C\""},   // trail bytes that look like backslashes
    };
    for (const auto& q : quotes)
        EXPECT_EQ(q.out, desktop::QuoteArg(q.in)) << q.in;

    desktoptest::ClearStandIn();
    EXPECT_EQ("TESSALYEXT.TessalyExtCtrl.1", desktop::ControlForAddOn("Tessaly"));
    desktoptest::SetString(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn\\Controls", "Tessaly", probe::kProgId);
    EXPECT_EQ(probe::kProgId, desktop::ControlForAddOn("Tessaly"));
    desktoptest::ClearStandIn();
}

} // namespace
