// The event sink and the control of TessalyExt.ocx in the desktop stand-in's
// container: the sink linked in with a recording view, for what reaches the
// view; the module's own control with the view it has, for what reaches the
// host.
#include "Comn.h"
#include "ExtTest.h"
#include "SinkObject.h"
#include "TessalyExt_h.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

using namespace ext;
using namespace PalmDesktop;
using desktop::CommandOfItem;
using desktop::Container;
using desktop::EventArgs;
using desktop::EventSet;
using Strings = std::vector<std::string>;

namespace {

const EventSet kSets[] = {EventSet::Service, EventSet::Application, EventSet::Frame};
const LONG kOwnCommand = 40100;   // the container's command base + 100

std::string Num(long n) { return std::to_string(n); }

// Records what the sink asks of the view and answers with set values.
struct RecordingView : CSinkView {
    Strings calls;
    BOOL found = TRUE;
    void Log(const std::string& call) { calls.push_back(call); }
    static std::string S(const CString& s) { return static_cast<const char*>(s); }
    void OpenDataFile(const CString& u, const CString& p) override { Log("Open " + S(u) + " " + S(p)); }
    void SaveDataFile() override { Log("Save"); }
    void Activate(BOOL b) override { Log("Activate " + Num(b)); }
    void RunCommand(UINT id) override { Log("Run " + Num(id)); }
    void GetCommandState(UINT id, int& h, int& e, int& c, int& r) override { Log("State " + Num(id)), h = e = c = 1, r = 7; }
    BOOL PreTranslateMessage(MSG* m) override
    {
        Log("PreTranslate " + Num(m->message) + " " + Num(m->wParam) + " " + Num(m->lParam) + " " + Num(m->time) + " "
            + Num(m->pt.x) + " " + Num(m->pt.y));
        return m->wParam == 'L';
    }
    void FindStart(const CString& t, BOOL m, BOOL w) override { Log("FindStart " + S(t) + " " + Num(m) + " " + Num(w)); }
    BOOL FindNext(CString& first, CString& second, int& index) override
    {
        first = "first", second = "second", index = 7;
        return found;
    }
    void FindGoTo(int index, BOOL show) override { Log("FindGoTo " + Num(index) + " " + Num(show)); }
    void EditCategories() override { Log("EditCategories"); }
    void ShowColumns() override { Log("ShowColumns"); }
};

using Items = std::vector<std::pair<std::string, UINT>>;

// The View menu as the host shows it, and with the control's item after the
// host's last one.
const Items kPlainView = {{"&List", 20051}, {"La&rge Icons", 20052}, {"S&mall Icons", 20053}};
const Items kActiveView = {{"&List", 20051}, {"La&rge Icons", 20052}, {"S&mall Icons", 20053}, {"-", 0},
                           {Ansi("列の表示..."), kOwnCommand}};

// A host window with its container, and what the container shows.
class Host : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::OleInitialize(nullptr); }
    static void TearDownTestSuite() { ::OleUninitialize(); }
    void SetUp() override { desktoptest::ClearStandIn(); }
    void TearDown() override
    {
        container.reset();
        desktoptest::ClearStandIn();
    }
    void MakeContainer(bool offerService = true)
    {
        Container::Options o = window.Options();
        o.offerService = offerService;
        container = std::make_unique<Container>(o);
    }
    // The texts of the View menu's items ("-" for a separator) with their IDs.
    Items ViewMenu() const
    {
        Items items;
        HMENU h = ::GetSubMenu(window.menu, desktop::FindMenuPosition(window.menu, MenuView, 0));
        for (UINT i = 0; i < static_cast<UINT>(::GetMenuItemCount(h)); ++i) {
            char text[64] = "";
            ::GetMenuStringA(h, i, text, sizeof text, MF_BYPOSITION);
            items.emplace_back((::GetMenuState(h, i, MF_BYPOSITION) & MF_SEPARATOR) ? "-" : text, ::GetMenuItemID(h, i));
        }
        return items;
    }
    size_t Connections() const
    {
        size_t n = 0;
        for (EventSet set : kSets)
            n += container->Cookies(set).size();
        return n;
    }
    // The references held on the host's objects.
    std::vector<ULONG> Refs() const
    {
        std::vector<ULONG> refs;
        for (IUnknown* o : {container->Object(EventSet::Service), container->Object(EventSet::Application),
                            container->Object(EventSet::Frame), container->StatusBarObject()})
            o->AddRef(), refs.push_back(o->Release());
        return refs;
    }
    desktoptest::HostWindow window;
    std::unique_ptr<Container> container;
};

// --------------------------------------------------------------- the sink

class Sink : public Host {
protected:
    void SetUp() override
    {
        Host::SetUp();
        MakeContainer();
        refs = Refs();
        IAddOnService* service = nullptr;
        container->Object(EventSet::Service)->QueryInterface(IID_IAddOnService, reinterpret_cast<void**>(&service));
        sink = new SinkObject;
        sink->SetService(service);
        service->Release();
        sink->SetView(&view);
        sink->Connect();
    }
    // Letting go ends every connection and gives back every reference.
    void TearDown() override
    {
        sink->Detach();
        EXPECT_EQ(0u, Connections());
        sink->Release();
        EXPECT_EQ(refs, Refs());
        Host::TearDown();
    }
    RecordingView view;
    SinkObject* sink = nullptr;
    std::vector<ULONG> refs;
};

} // namespace

TEST_F(Sink, ConnectsEachEventSetAndActivationAddsTheColumnsItemOnce)
{
    const SinkObject::EventSet own[] = {SinkObject::ServiceEvents, SinkObject::ApplicationEvents,
                                        SinkObject::FrameEvents};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::vector<DWORD>{sink->GetCookie(own[i])}, container->Cookies(kSets[i]));
    EXPECT_EQ(S_OK, container->Fire(EventSet::Frame, 1, [](EventArgs& a) { a.In(LONG(1)); }));   // ignored
    for (bool active : {true, true, false, false}) {
        container->FireActivate(active);
        EXPECT_EQ(active ? kActiveView : kPlainView, ViewMenu());
    }
    EXPECT_EQ((Strings{"Activate 1", "Activate 1", "Activate 0", "Activate 0"}), view.calls);
}

// Each host item, by the command the host's menu gives it (not its item ID),
// runs its view command and reports its state.
TEST_F(Sink, HostCommandsMapOntoTheViewsCommands)
{
    container->FireActivate(true);
    const desktop::CommandState disabled = {1, 0, 0, 0}, none = {}, fromView = {1, 1, 1, 0};
    const struct {
        LONG command;
        const char* run;   // the view's call, or null when not run
        desktop::CommandState state;
    } cases[] = {
        {CmdFileNew, nullptr, disabled},      {CmdFileSave, "Save", none},
        {CmdFileImport, nullptr, disabled},   {CmdFileExport, nullptr, disabled},
        {CmdFilePrint, nullptr, disabled},    {CmdEditUndo, "Run 57643", fromView},
        {CmdEditCut, "Run 57635", fromView},  {CmdEditCopy, "Run 57634", fromView},
        {CmdEditPaste, "Run 57637", fromView}, {CmdEditDelete, "Run 14", fromView},
        {CmdEditSelectAll, "Run 57642", fromView}, {CmdViewList, nullptr, disabled},
        {CmdViewLarge, nullptr, disabled},    {CmdViewSmall, nullptr, disabled},
        {CmdToolsCategories, "EditCategories", none},
        {desktop::ItemEditFind, nullptr, none},   {desktop::ItemToolsHotSync, nullptr, none},
    };
    for (const auto& c : cases) {
        LONG command = static_cast<LONG>(CommandOfItem(static_cast<UINT>(c.command)));
        SCOPED_TRACE(command);
        view.calls.clear();
        EXPECT_EQ(c.run != nullptr, container->FireCommand(command));
        EXPECT_EQ(c.run ? Strings{c.run} : Strings{}, view.calls);
        desktop::CommandState st = container->FireCommandState(command);
        EXPECT_EQ((std::vector<LONG>{c.state.handled, c.state.enabled, c.state.checked, c.state.reserved}),
                  (std::vector<LONG>{st.handled, st.enabled, st.checked, st.reserved}));
        EXPECT_FALSE(container->FireCommand(c.command)) << "an item's own ID is not the host's command";
    }
    view.calls.clear();
    EXPECT_TRUE(container->FireCommand(kOwnCommand));
    EXPECT_EQ(Strings{"ShowColumns"}, view.calls);
    // The help text belongs to the control's own item alone.
    std::string text;
    EXPECT_TRUE(container->FireCommandHelp(kOwnCommand, text));
    EXPECT_EQ(Ansi("リストのどの列を表示するか選択します"), text);
    EXPECT_FALSE(container->FireCommandHelp(static_cast<LONG>(CommandOfItem(CmdFileSave)), text));
}

TEST_F(Sink, EventsReachTheViewWithTheirArguments)
{
    container->SetUser("Taro", "C:\\Palm\\Taro\\Vqxa\\record.dat");
    container->FireUserChanged();
    container->FireSave();
    MSG msg = {reinterpret_cast<HWND>(0x1234), WM_SYSKEYDOWN, 'L', 0x20000000, 5, {6, 7}};
    EXPECT_TRUE(container->FirePreTranslate(msg));
    for (LONG matchCase : {1, 2})   // only 1 means yes
        container->Fire(EventSet::Service, evFindStart, [&](EventArgs& a) {
            a.In(std::string("Abc"));
            a.In(matchCase);
            a.In(LONG(matchCase == 1 ? 0 : 1));
        });
    container->FireFindGoTo(7, true);
    LONG *out8 = nullptr, answer8 = -1;
    container->Fire(
        EventSet::Service, evQuery8,
        [&](EventArgs& a) {
            a.In(LONG(3));
            *(out8 = a.OutLong()) = -1;
        },
        [&](EventArgs&) { return answer8 = *out8, true; });
    EXPECT_EQ(0, answer8);
    EXPECT_EQ((Strings{"Open Taro C:\\Palm\\Taro\\Vqxa\\record.dat", "Save", "PreTranslate 260 76 536870912 5 6 7",
                       "FindStart Abc 1 0", "FindStart Abc 0 1", "FindGoTo 7 1"}),
              view.calls);
    for (BOOL found : {TRUE, FALSE}) {
        view.found = found;
        desktop::FindHit hit;
        EXPECT_EQ(found != FALSE, container->FireFindNext(hit));
        EXPECT_EQ(found ? "first|second|7" : "||-1", hit.first + "|" + hit.second + "|" + Num(hit.index));
    }

    // Arguments that are missing or of the wrong kind reach nothing.
    view.calls.clear();
    const struct {
        DISPID id;
        std::function<void(EventArgs&)> build;
    } wrong[] = {
        {evCommand, [](EventArgs& a) { a.In(LONG(20011)); }},
        {evCommandState, [](EventArgs& a) { a.In(LONG(20011)); a.In(LONG(0)); }},
        {evUserChanged, [](EventArgs& a) { a.In(std::string("Taro")); }},
        {evFindNext, nullptr},
    };
    for (const auto& w : wrong)
        EXPECT_EQ(DISP_E_TYPEMISMATCH, container->Fire(EventSet::Service, w.id, w.build)) << w.id;
    EXPECT_TRUE(view.calls.empty());
}

// ------------------------------------------------------ the hosted control

namespace {

class Hosted : public Host {
protected:
    void TearDown() override
    {
        Host::TearDown();
        EXPECT_EQ(S_OK, Ocx().CanUnloadNow());
    }
    // The module's control in the container over the host's view window; the
    // control's window, with the memo view (once it has one) over all of it.
    HWND Create()
    {
        IClassFactory* factory = nullptr;
        IUnknown* control = nullptr;
        EXPECT_EQ(S_OK, Ocx().GetClassObject(CLSID_TessalyExt, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        if (factory) {
            factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&control));
            factory->Release();
        }
        if (!control)
            return nullptr;
        EXPECT_EQ(S_OK, container->Create(control, window.view, window.ViewRect()));
        control->Release();
        HWND hwnd = container->ControlWindow();
        EXPECT_EQ(window.view, ::GetParent(hwnd));
        EXPECT_TRUE(::IsWindowVisible(hwnd));
        ExpectViewFills(hwnd);
        desktoptest::Pump();
        return hwnd;
    }
    static void ExpectViewFills(HWND hwnd)
    {
        RECT client, view;
        ::GetClientRect(hwnd, &client);
        for (HWND child = ::GetWindow(hwnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            EXPECT_TRUE(::IsWindowVisible(child));
            ::GetWindowRect(child, &view);
            ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&view), 2);
            EXPECT_TRUE(::EqualRect(&client, &view));
        }
    }
    // Pane 1 after the view's status message reached the control.
    std::string Pane(HWND hwnd, WPARAM position, LPARAM count)
    {
        ::SendMessageA(window.status, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>("<unset>"));
        ::SendMessageA(hwnd, WM_USER + 0x1000, position, count);
        char text[64] = "";
        ::SendMessageA(window.status, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
        return text;
    }
};

} // namespace

TEST_F(Hosted, ConnectsToItsHostAndShowsTheViewStatus)
{
    MakeContainer();
    const std::vector<ULONG> refs = Refs();
    HWND hwnd = Create();
    ASSERT_NE(nullptr, hwnd);
    for (EventSet set : kSets)
        EXPECT_EQ(1u, container->Cookies(set).size());
    EXPECT_EQ(1, container->ReadyValue());
    // Not the active view yet: the menu is the host's own until it is.
    EXPECT_EQ(kPlainView, ViewMenu());
    for (bool active : {true, false}) {
        container->FireActivate(active);
        EXPECT_EQ(active ? kActiveView : kPlainView, ViewMenu());
    }
    EXPECT_EQ("3 / 5", Pane(hwnd, 2, 5));
    EXPECT_EQ("", Pane(hwnd, static_cast<WPARAM>(-1), 5));
    EXPECT_EQ("", Pane(hwnd, 0, 0));

    // HotSync is refused while the shared library forbids it.
    for (int ok : {1, 0, 1}) {
        NorvaneCommon::CComn::SetSyncOK(ok);
        std::string message = "<unset>";
        EXPECT_EQ(ok == 1, container->FireHotSyncQuery("Taro", message));
        EXPECT_EQ(ok ? "" : Ansi("データ編集中は HotSync 機能を実行できません。ダイアログを閉じて、HotSync ボタンをもう一度押してください。"),
                  message);
    }

    // Taking the site away ends every connection and reference it gave.
    IOleObject* object = nullptr;
    ASSERT_EQ(S_OK, container->Control()->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(S_OK, object->SetClientSite(nullptr));
    object->Release();
    EXPECT_EQ(0u, Connections());
    EXPECT_EQ(refs, Refs());
    container->Destroy();
}

// Whatever host call fails while it is made, the control stands and goes on
// without what the call would have given.
TEST_F(Hosted, SurvivesEveryFailingHostCallDuringCreation)
{
    const struct {
        const char* list;
        const char* position;
        size_t connections;
        bool item;           // the columns item added
        const char* pane;    // after a status message
    } cases[] = {
        {"FailService", "7", 1, false, "<unset>"},  {"FailApplication", "16", 2, false, "<unset>"},
        {"FailService", "16", 3, true, "1 / 1"},    {"FailService", "17", 3, false, "1 / 1"},
        {"FailService", "19", 3, true, "1 / 1"},    {"FailFrame", "10", 3, false, "1 / 1"},
        {"FailFrame", "13", 3, false, "1 / 1"},     {"FailService", "12", 3, false, "1 / 1"},
        {"FailFrame", "14", 3, true, "<unset>"},    {"FailStatusBar", "9", 3, true, "<unset>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " " + c.position);
        MakeContainer();
        container->SetActive(true);
        container->SetUser("", "");
        Fail(c.list, c.position);
        HWND hwnd = Create();
        ASSERT_NE(nullptr, hwnd);
        EXPECT_EQ(c.connections, Connections());
        EXPECT_EQ(c.item ? kActiveView : kPlainView, ViewMenu());
        EXPECT_EQ(c.pane, Pane(hwnd, 0, 1));
        container->FireActivate(false);
        EXPECT_EQ(kPlainView, ViewMenu());
        Fail(c.list, "");
        container->Destroy();
        EXPECT_EQ(S_OK, Ocx().CanUnloadNow());
    }
}

// Outside Palm Desktop it stands without a sink and without a status pane.
TEST_F(Hosted, OutsidePalmDesktopItStandsWithoutASink)
{
    MakeContainer(false);
    HWND hwnd = Create();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(0u, Connections());
    EXPECT_EQ(-1, container->ReadyValue());
    EXPECT_EQ("<unset>", Pane(hwnd, 1, 2));
    container->Destroy();
}
