// The container hosting the probe control in this process: what the control
// finds through its site, the objects at their positions, the connections,
// and the events with their out values.
#include "DesktopTestSupport.h"
#include "HostPaths.h"
#include "AddOnStore.h"
#include "PalmDesktop.h"
#include "ProbeControl.h"

#include <commctrl.h>
#include <olectl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>

using namespace PalmDesktop;
using desktop::CommandOfItem;
using desktop::Container;
using desktop::EventSet;

namespace {

bool Logged(const std::string& line)
{
    const auto& log = probe::Log();
    return std::find(log.begin(), log.end(), line) != log.end();
}

class ContainerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        OleInitialize(nullptr);
        // The objects' IDispatch reads the registered type libraries.
        ASSERT_EQ(0u, desktoptest::Regsvr32("PalmAddOn.dll"));
    }
    void SetUp() override
    {
        probe::Log().clear();
        probe::RefuseMessage().clear();
    }
    void TearDown() override
    {
        EXPECT_EQ(0, probe::LiveObjects()) << "the container left the probe alive";
        for (const std::string& line : probe::Log())
            EXPECT_EQ(std::string::npos, line.find("bad-arguments")) << line;
    }
    HMENU Menu(UINT id) const { return GetSubMenu(host.menu, desktop::FindMenuPosition(host.menu, id, 0)); }
    desktoptest::HostWindow host;
};

TEST_F(ContainerTest, ControlFindsTheServiceAndConnectsItsEvents)
{
    auto container = std::make_unique<Container>(host.Options());
    container->SetUser("Hanako", "C:\\root\\Hanako\\Tessaly\\record.dat");
    IUnknown* control = probe::Create();
    ASSERT_EQ(S_OK, container->Create(control, host.view, host.ViewRect()));
    control->Release();
    EXPECT_TRUE(Logged("init-new"));
    EXPECT_TRUE(Logged("site service=1 application=1 frame=1"));
    EXPECT_TRUE(Logged("in-place parent=match frame=1"));
    EXPECT_TRUE(Logged("open Hanako C:\\root\\Hanako\\Tessaly\\record.dat"));
    EXPECT_FALSE(Logged("activate 1")) << "the service was not active";
    EXPECT_EQ(1, container->ReadyValue());
    EXPECT_TRUE(container->UIActive());

    HWND window = container->ControlWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(host.view, GetParent(window));
    RECT rc, view = host.ViewRect();
    GetClientRect(window, &rc);
    EXPECT_EQ(view.right, rc.right);
    EXPECT_EQ(view.bottom, rc.bottom);

    // The cookies the control keeps are the host's, one per event set.
    DWORD cookies[3];
    probe::LastCookies(cookies);
    for (EventSet set : {EventSet::Service, EventSet::Application, EventSet::Frame})
        EXPECT_EQ(std::vector<DWORD>{cookies[int(set)]}, container->Cookies(set));
    EXPECT_NE(cookies[0], cookies[1]);
    EXPECT_NE(cookies[1], cookies[2]);
    EXPECT_NE(0u, cookies[0]);

    // Events reach the sinks with their types checked by the probe.
    container->FireUserChanged();
    EXPECT_TRUE(Logged("user Hanako C:\\root\\Hanako\\Tessaly\\record.dat missing"));
    EXPECT_EQ("user Hanako", container->PaneText(1));
    char pane[64] = "";
    SendMessageA(host.status, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(pane));
    EXPECT_STREQ("user Hanako", pane);
    container->FireSave();
    EXPECT_TRUE(Logged("save Hanako C:\\root\\Hanako\\Tessaly\\record.dat"));
    for (DISPID id : {7, 8, 9, 11, 12, 16})
        container->Fire(EventSet::Service, id, [&](desktop::EventArgs& a) {
            if (id == 8 || id == 9)
                a.OutLong();
        });
    container->Fire(EventSet::Frame, 2, [](desktop::EventArgs& a) {
        a.In(LONG(10));
        a.In(LONG(20));
    });
    EXPECT_TRUE(Logged("service 8") && Logged("service 9") && Logged("service 16") && Logged("frame 2"));

    // A cookie undone is gone for good.
    IConnectionPointContainer* cpc = nullptr;
    IConnectionPoint* cp = nullptr;
    ASSERT_EQ(S_OK, container->Object(EventSet::Application)
                        ->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)));
    ASSERT_EQ(S_OK, cpc->FindConnectionPoint(DIID_ApplicationEvents, &cp));
    EXPECT_EQ(S_OK, cp->Unadvise(cookies[1]));
    EXPECT_TRUE(container->Cookies(EventSet::Application).empty());
    EXPECT_EQ(CONNECT_E_NOCONNECTION, cp->Unadvise(cookies[1]));
    cp->Release();
    cpc->Release();

    // Taking it down: the control disconnects every cookie it got.
    container->Destroy();
    EXPECT_TRUE(Logged("unadvise " + std::to_string(cookies[0]) + " ok"));
    EXPECT_TRUE(Logged("unadvise " + std::to_string(cookies[1]) + " failed"));
    EXPECT_TRUE(Logged("unadvise " + std::to_string(cookies[2]) + " ok"));
    EXPECT_TRUE(Logged("destroyed"));
    EXPECT_TRUE(container->Cookies(EventSet::Service).empty());
    EXPECT_FALSE(container->HasControl());
}

TEST_F(ContainerTest, HostObjectsAnswerAtTheirPositions)
{
    Container container(host.Options());
    container.SetUser("Taro", "D:\\x\\record.dat");
    container.SetActive(true);
    IAddOnService* service = nullptr;
    ASSERT_EQ(S_OK, container.Object(EventSet::Service)
                        ->QueryInterface(IID_IAddOnService, reinterpret_cast<void**>(&service)));
    LONG n = 0;
    EXPECT_EQ(S_OK, service->GetCommandIDBase(&n));
    EXPECT_EQ(40000, n);
    EXPECT_EQ(S_OK, service->IsActive(&n));
    EXPECT_EQ(1, n);
    BSTR user = nullptr, file = nullptr;
    EXPECT_EQ(S_OK, service->GetCurrentUser(&user, &file));
    EXPECT_STREQ(L"Taro", user);
    EXPECT_STREQ(L"D:\\x\\record.dat", file);
    SysFreeString(user);
    SysFreeString(file);

    IDispatch* d = nullptr;
    IApplication* app = nullptr;
    IFrame* frame = nullptr;
    IStatusBar* bar = nullptr;
    ASSERT_EQ(S_OK, service->GetApplication(&d));
    ASSERT_EQ(S_OK, d->QueryInterface(IID_IApplication, reinterpret_cast<void**>(&app)));
    d->Release();
    ASSERT_EQ(S_OK, app->GetFrame(&d));
    ASSERT_EQ(S_OK, d->QueryInterface(IID_IFrame, reinterpret_cast<void**>(&frame)));
    d->Release();
    ASSERT_EQ(S_OK, frame->GetStatusBar(&d));
    ASSERT_EQ(S_OK, d->QueryInterface(IID_IStatusBar, reinterpret_cast<void**>(&bar)));
    d->Release();

    EXPECT_EQ(S_OK, frame->GetMenuBar(&n));
    EXPECT_EQ(host.menu, reinterpret_cast<HMENU>(static_cast<INT_PTR>(n)));
    HMENU view = Menu(MenuView);
    const struct {
        LONG menu, item, position;
    } positions[] = {
        {MenuFile, 0, 0}, {MenuEdit, 0, 1}, {MenuView, 0, 2}, {MenuTools, 0, 3}, {MenuFile, CmdFileSave, 1},
        {MenuEdit, CmdEditCopy, 4}, {MenuView, CmdViewSmall, GetMenuItemCount(view) - 1},
        {MenuTools, CmdToolsCategories, 0},
    };
    for (const auto& p : positions) {
        LONG at = -2;
        EXPECT_EQ(S_OK, frame->GetMenuPosition(p.menu, p.item, &at)) << p.menu << " " << p.item;
        EXPECT_EQ(p.position, at) << p.menu << " " << p.item;
    }
    // The command of an item is not its item ID.
    EXPECT_EQ(CommandOfItem(CmdEditCopy), GetMenuItemID(Menu(MenuEdit), 4));
    LONG at = 0;
    EXPECT_TRUE(FAILED(frame->GetMenuPosition(18005, 0, &at)));
    EXPECT_TRUE(FAILED(frame->GetMenuPosition(MenuFile, CmdEditCopy, &at)));
    EXPECT_EQ(-1, at);

    BSTR text = SysAllocString(L"3 / 5");
    EXPECT_EQ(S_OK, bar->SetPaneText(1, text));
    EXPECT_EQ(E_INVALIDARG, bar->SetPaneText(2, text));
    SysFreeString(text);
    EXPECT_EQ("3 / 5", container.PaneText(1));

    // IDispatch goes through the registered type library to the same slots.
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"GetCommandIDBase");
    ASSERT_EQ(S_OK, service->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {};
    ASSERT_EQ(S_OK, service->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr,
                                    nullptr));
    EXPECT_EQ(40000, V_I4(&result));

    IConnectionPointContainer* cpc = nullptr;
    IConnectionPoint* cp = nullptr;
    ASSERT_EQ(S_OK, frame->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, cpc->FindConnectionPoint(DIID_ServiceEvents, &cp));
    ASSERT_EQ(S_OK, cpc->FindConnectionPoint(DIID_FrameEvents, &cp));
    DWORD cookie = 0;
    // A sink that does not answer the event interface is refused.
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, cp->Advise(bar, &cookie));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, cp->Unadvise(12345));
    cp->Release();
    cpc->Release();

    // Failure lists make the listed positions fail, handing out nothing.
    const char* const lists[][2] = {
        {"FailService", "7 12 16 17 19"}, {"FailApplication", "16"}, {"FailFrame", "10 13 14"}, {"FailStatusBar", "9"}};
    for (const auto& l : lists)
        desktoptest::SetString(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn", l[0], l[1]);
    n = 5;
    EXPECT_EQ(E_FAIL, service->GetApplication(&d));
    EXPECT_EQ(E_FAIL, app->GetFrame(&d));
    EXPECT_EQ(E_FAIL, frame->GetStatusBar(&d));
    EXPECT_EQ(nullptr, d);
    EXPECT_EQ(E_FAIL, service->GetCommandIDBase(&n));
    EXPECT_EQ(E_FAIL, service->IsActive(&n));
    EXPECT_EQ(E_FAIL, frame->GetMenuBar(&n));
    EXPECT_EQ(0, n);
    EXPECT_EQ(E_FAIL, frame->GetMenuPosition(MenuFile, 0, &n));
    EXPECT_EQ(-1, n);
    EXPECT_EQ(E_FAIL, service->GetCurrentUser(&user, &file));
    EXPECT_EQ(nullptr, user);
    EXPECT_EQ(E_FAIL, service->SetReady(0));
    EXPECT_EQ(E_FAIL, bar->SetPaneText(1, nullptr));
    EXPECT_EQ(-1, container.ReadyValue());
    EXPECT_EQ("3 / 5", container.PaneText(1));
    for (const auto& l : lists)
        desktoptest::SetString(HKEY_CURRENT_USER, "Software\\PalmDesktopStandIn", l[0], "");

    bar->Release();
    frame->Release();
    app->Release();
    service->Release();
}

TEST_F(ContainerTest, EventsCarryOutValuesByReference)
{
    Container container(host.Options());
    container.SetUser("Hanako", "C:\\r\\record.dat");
    container.SetActive(true);   // created while its view shows: it activates itself
    HMENU view = Menu(MenuView);
    int items = GetMenuItemCount(view);
    IUnknown* control = probe::Create();
    ASSERT_EQ(S_OK, container.Create(control, host.view, host.ViewRect()));
    control->Release();
    EXPECT_TRUE(Logged("activate 1"));
    ASSERT_EQ(items + 2, GetMenuItemCount(view));
    EXPECT_EQ(40100u, GetMenuItemID(view, static_cast<int>(items + 1)));

    const UINT copy = CommandOfItem(CmdEditCopy), cut = CommandOfItem(CmdEditCut);
    EXPECT_TRUE(container.FireCommand(static_cast<LONG>(copy)));
    EXPECT_TRUE(container.FireCommand(40100));
    EXPECT_FALSE(container.FireCommand(CmdEditCopy)) << "item IDs are no commands";
    EXPECT_TRUE(Logged("command 19023 0"));

    const struct {
        UINT command;
        LONG handled, enabled, checked;
    } states[] = {{copy, 1, 1, 1}, {cut, 1, 0, 1}, {CommandOfItem(CmdEditDelete), 0, 0, 0}};
    for (const auto& s : states) {
        desktop::CommandState st = container.FireCommandState(static_cast<LONG>(s.command));
        EXPECT_EQ(s.handled, st.handled) << s.command;
        EXPECT_EQ(s.enabled, st.enabled) << s.command;
        EXPECT_EQ(s.checked, st.checked) << s.command;
    }
    // A menu about to open takes the answers; the rest the host's defaults.
    HMENU edit = Menu(MenuEdit);
    container.UpdateMenuPopup(edit, [](UINT) {
        desktop::CommandState st;
        st.handled = 1;
        st.enabled = 1;
        return st;
    });
    EXPECT_EQ(UINT(MF_CHECKED), GetMenuState(edit, copy, MF_BYCOMMAND) & (MF_GRAYED | MF_CHECKED));
    EXPECT_EQ(UINT(MF_GRAYED | MF_CHECKED), GetMenuState(edit, cut, MF_BYCOMMAND) & (MF_GRAYED | MF_CHECKED));
    EXPECT_EQ(0u, GetMenuState(edit, CommandOfItem(CmdEditDelete), MF_BYCOMMAND) & (MF_GRAYED | MF_CHECKED));

    std::string help;
    EXPECT_TRUE(container.FireCommandHelp(40100, help));
    EXPECT_EQ("Choose the columns the probe shows", help);
    EXPECT_FALSE(container.FireCommandHelp(static_cast<LONG>(copy), help));
    EXPECT_EQ("", help);

    MSG key = {container.ControlWindow(), WM_KEYDOWN, VK_F8, 0, 0, {0, 0}};
    EXPECT_TRUE(container.FirePreTranslate(key));
    key.wParam = VK_F7;
    EXPECT_FALSE(container.FirePreTranslate(key));

    // Find: every hit until found = 0, then go to one.
    const struct {
        const char* text;
        bool matchCase;
        std::vector<LONG> hits;
    } finds[] = {{"APPLE", false, {1, 3}}, {"APPLE", true, {}}, {"yellow", true, {2}}};
    for (const auto& f : finds) {
        container.FireFindStart(f.text, f.matchCase, false);
        std::vector<LONG> hits;
        desktop::FindHit hit;
        while (hits.size() < 10 && container.FireFindNext(hit)) {
            hits.push_back(hit.index);
            if (hit.index == 1) {
                EXPECT_EQ("Apple pie", hit.first);
                EXPECT_EQ("sweet and warm", hit.second);
            }
        }
        EXPECT_EQ(f.hits, hits) << f.text;
    }
    container.FireFindGoTo(3, true);
    EXPECT_TRUE(Logged("goto 3 1"));

    std::string message = "stale";
    EXPECT_TRUE(container.FireHotSyncQuery("Hanako", message));
    EXPECT_EQ("", message);
    probe::RefuseMessage() = "busy editing";
    EXPECT_FALSE(container.FireHotSyncQuery("Hanako", message));
    EXPECT_EQ("busy editing", message);
    EXPECT_TRUE(Logged("hotsync-query Hanako"));

    // Deactivation takes away exactly what activation added.
    container.FireActivate(false);
    EXPECT_FALSE(container.Active());
    EXPECT_EQ(items, GetMenuItemCount(view));
    EXPECT_EQ(CommandOfItem(CmdViewSmall), GetMenuItemID(view, items - 1));
    container.Destroy();
}

TEST_F(ContainerTest, PlainContainerHostsTheControlWithoutService)
{
    Container::Options o = host.Options();
    o.offerService = false;
    Container container(o);
    IUnknown* control = probe::Create();
    ASSERT_EQ(S_OK, container.Create(control, host.view, host.ViewRect()));
    control->Release();
    EXPECT_TRUE(Logged("site service=0 application=0 frame=0"));
    EXPECT_TRUE(container.ControlWindow());
    EXPECT_TRUE(container.Cookies(EventSet::Service).empty());
    EXPECT_FALSE(container.FireCommand(1));
    container.Destroy();
    EXPECT_EQ(E_INVALIDARG, container.Create(nullptr, host.view, host.ViewRect()));
    EXPECT_TRUE(FAILED(container.Create("No.Such.Control.1", host.view, host.ViewRect())));
}

// Paths as hotsync writes them, and the command line given to it.
TEST(HostPaths, DataFileQuotingAndControlNames)
{
    const char kKey[] = "Software\\HotSync\\Conduits\\Vqxa";
    SHDeleteKeyA(HKEY_CURRENT_USER, kKey);
    const LONG vqxa = 0x56717861;
    EXPECT_EQ("C:\\r\\Hanako\\Tessaly\\record.dat", desktop::DataFilePath("C:\\r", "Hanako", vqxa, "record.dat", "Tessaly"))
        << "without a registration the add-on's name stands for the folder";
    desktoptest::SetString(HKEY_CURRENT_USER, kKey, "Directory", "MyMemo");
    EXPECT_EQ("C:\\r\\Hanako\\MyMemo\\record.dat", desktop::DataFilePath("C:\\r", "Hanako", vqxa, "record.dat", "Tessaly"));
    EXPECT_EQ("C:\\r\\Hanako\\MyMemo\\GenericDB.DAT", desktop::DataFilePath("C:\\r", "Hanako", vqxa, "", "Tessaly"));
    desktoptest::SetString(HKEY_CURRENT_USER, kKey, "Directory", "");
    EXPECT_EQ("C:\\r\\Hanako\\record.dat", desktop::DataFilePath("C:\\r", "Hanako", vqxa, "record.dat", "Tessaly"));
    SHDeleteKeyA(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ("Vqxa", desktop::CreatorText(vqxa));
    EXPECT_EQ("", desktop::CreatorText(0x56715C61)) << "a backslash cannot name a registry key";

    const struct {
        std::string in, out;
    } quotes[] = {
        {"plain", "plain"},
        {"C:\\dir\\", "C:\\dir\\"},
        {"", "\"\""},
        {"two words", "\"two words\""},
        {"C:\\my dir\\", "\"C:\\my dir\\\\\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"a\\\"b", "\"a\\\\\\\"b\""},
        {"\x95\x5C", "\x95\x5C"},
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
