// The event sink against a stand-in host and a recording view, and the
// control of TessalyExt.ocx hosted in an in-place container.
#include "Comn.h"
#include "FakeHost.h"
#include "SinkObject.h"
#include "TessalyExt_h.h"

#include <gtest/gtest.h>

using namespace fake;
using namespace PalmDesktop;

namespace {

std::string Num(long n) { return std::to_string(n); }

// Records what the sink asks of the view and answers with set values.
struct RecordingView : CSinkView {
    std::vector<std::string> calls;
    BOOL found = TRUE;
    void OpenDataFile(const CString& u, const CString& p) override { calls.push_back("Open " + S(u) + " " + S(p)); }
    void SaveDataFile() override { calls.push_back("Save"); }
    void Activate(BOOL b) override { calls.push_back("Activate " + Num(b)); }
    void RunCommand(UINT id) override { calls.push_back("Run " + Num(id)); }
    void GetCommandState(UINT id, int& h, int& e, int& c, int& r) override
    {
        calls.push_back("State " + Num(id));
        h = 1, e = 1, c = 1, r = 7;
    }
    BOOL PreTranslateMessage(MSG* m) override
    {
        calls.push_back("PreTranslate " + Num(m->message) + " " + Num(m->wParam) + " " + Num(m->lParam) + " "
                        + Num(m->time) + " " + Num(m->pt.x) + " " + Num(m->pt.y));
        return m->wParam == 'L';
    }
    void FindStart(const CString& t, BOOL m, BOOL w) override
    {
        calls.push_back("FindStart " + S(t) + " " + Num(m) + " " + Num(w));
    }
    BOOL FindNext(CString& first, CString& second, int& index) override
    {
        first = "first", second = "second", index = 7;
        return found;
    }
    void FindGoTo(int index, BOOL show) override { calls.push_back("FindGoTo " + Num(index) + " " + Num(show)); }
    void EditCategories() override { calls.push_back("EditCategories"); }
    void ShowColumns() override { calls.push_back("ShowColumns"); }
    static std::string S(const CString& s) { return static_cast<const char*>(s); }
};

const char kShowColumns[] = "列の表示...";
const char kRefusal[] = "データ編集中は HotSync 機能を実行できません。ダイアログを閉じて、HotSync ボタンをもう一度押してください。";

// The View menu as the host shows it before any add-on touched it.
std::vector<std::pair<std::string, UINT>> PlainViewMenu()
{
    return {{"19050", 20050}, {"19051", 20051}, {"19052", 20052}, {"19053", 20053}};
}

class Sink : public ::testing::Test {
protected:
    void SetUp() override
    {
        Log().Clear();
        sink = new SinkObject;
        sink->SetService(&service);
        sink->SetView(&view);
        sink->Connect();
    }
    void TearDown() override
    {
        sink->Detach();
        sink->Release();
        EXPECT_TRUE(service.AllReleased());
    }
    HRESULT Service(DISPID id, std::vector<VARIANT> args) { return service.events.Fire(id, std::move(args)); }
    LONG Command(LONG id)
    {
        LONG handled = -1;
        EXPECT_EQ(S_OK, Service(evCommand, {Long(id), OutLong(&handled)}));
        return handled;
    }
    std::vector<LONG> State(LONG id)
    {
        std::vector<LONG> s(4, -1);
        EXPECT_EQ(S_OK, Service(evCommandState, {Long(id), OutLong(&s[0]), OutLong(&s[1]), OutLong(&s[2]), OutLong(&s[3])}));
        return s;
    }
    std::pair<LONG, std::string> HotSyncQuery()
    {
        LONG allowed = -1;
        BSTR message = nullptr;
        EXPECT_EQ(S_OK, service.application.events.Fire(evHotSyncQuery, {Text("x"), OutLong(&allowed), OutText(&message)}));
        std::string text = Narrow(message);
        ::SysFreeString(message);
        return {allowed, text};
    }
    fake::Service service;
    RecordingView view;
    SinkObject* sink = nullptr;
};

} // namespace

TEST_F(Sink, ConnectsEachEventSetOnItsOwnObjectAndLetsGo)
{
    EXPECT_EQ(service.events.cookie, sink->GetCookie(SinkObject::ServiceEvents));
    EXPECT_EQ(service.application.events.cookie, sink->GetCookie(SinkObject::ApplicationEvents));
    EXPECT_EQ(service.application.frame.events.cookie, sink->GetCookie(SinkObject::FrameEvents));
    EXPECT_NE(nullptr, service.events.sink);
    EXPECT_NE(nullptr, service.application.events.sink);
    EXPECT_NE(nullptr, service.application.frame.events.sink);
    EXPECT_NE(0u, sink->GetCookie(SinkObject::FrameEvents));
    // Frame events are taken and ignored.
    EXPECT_EQ(S_OK, service.application.frame.events.Fire(1, {}));
}

TEST_F(Sink, ActivationAddsTheColumnsItemOnceAndDeactivationRemovesExactlyIt)
{
    Frame& frame = service.application.frame;
    auto active = PlainViewMenu();
    active.emplace_back("-", 0);
    active.emplace_back(Ansi(kShowColumns), 30100);   // the command base + 100
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(S_OK, Service(evActivate, {Long(1)}));
        EXPECT_EQ(active, frame.Items(MenuView));
    }
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(S_OK, Service(evActivate, {Long(0)}));
        EXPECT_EQ(PlainViewMenu(), frame.Items(MenuView));
    }
    EXPECT_EQ((std::vector<std::string>{"Activate 1", "Activate 1", "Activate 0", "Activate 0"}), view.calls);
}

// Host command mapping: each host item, by the command ID the host gives it
// (item ID + 1000 here), runs its view command and reports its state.
TEST_F(Sink, HostCommandsMapOntoTheViewsCommands)
{
    ASSERT_EQ(S_OK, Service(evActivate, {Long(1)}));
    view.calls.clear();
    const std::vector<LONG> disabled = {1, 0, 0, 0}, none = {0, 0, 0, 0}, fromView = {1, 1, 1, 0};
    const struct {
        LONG command;
        const char* run;   // the view's call, or null when not run
        std::vector<LONG> state;
    } cases[] = {
        {20010, nullptr, disabled}, {20011, "Save", none},         {20012, nullptr, disabled},
        {20014, nullptr, disabled}, {20015, nullptr, disabled},    {20020, "Run 57643", fromView},
        {20022, "Run 57635", fromView}, {20023, "Run 57634", fromView}, {20024, "Run 57637", fromView},
        {20025, "Run 14", fromView},    {20027, "Run 57642", fromView}, {20051, nullptr, disabled},
        {20052, nullptr, disabled}, {20053, nullptr, disabled},    {20060, "EditCategories", none},
        {30100, "ShowColumns", none},
        {19011, nullptr, none},   // the item's own ID is not the host's command
        {20050, nullptr, none},   {12345, nullptr, none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        view.calls.clear();
        EXPECT_EQ(c.run ? 1 : 0, Command(c.command));
        EXPECT_EQ(c.run ? std::vector<std::string>{c.run} : std::vector<std::string>{}, view.calls);
        view.calls.clear();
        EXPECT_EQ(c.state, State(c.command));
    }
    // The help text belongs to the control's own item alone.
    for (LONG id : {30100L, 20011L}) {
        LONG handled = -1;
        BSTR text = nullptr;
        ASSERT_EQ(S_OK, Service(evCommandHelp, {Long(id), OutLong(&handled), OutText(&text)}));
        EXPECT_EQ(id == 30100 ? 1 : 0, handled);
        EXPECT_EQ(id == 30100 ? Ansi("リストのどの列を表示するか選択します") : "", Narrow(text));
        ::SysFreeString(text);
    }
}

TEST_F(Sink, EventsReachTheViewWithTheirArguments)
{
    LONG handled = -1, out8 = -1;
    ASSERT_EQ(S_OK, Service(evUserChanged, {Text("Taro"), Text("C:\\Palm\\Taro\\Vqxa\\record.dat")}));
    ASSERT_EQ(S_OK, Service(evSave, {Text("Taro"), Text("ignored")}));
    ASSERT_EQ(S_OK, Service(evPreTranslate, {Long(0x1234), Long(WM_SYSKEYDOWN), Long('L'), Long(0x20000000), Long(5),
                                             Long(6), Long(7), OutLong(&handled)}));
    EXPECT_EQ(1, handled);
    ASSERT_EQ(S_OK, Service(evFindStart, {Text("Abc"), Long(1), Long(0)}));
    ASSERT_EQ(S_OK, Service(evFindStart, {Text("Abc"), Long(2), Long(1)}));   // only 1 means yes
    ASSERT_EQ(S_OK, Service(evFindGoTo, {Long(7), Long(1)}));
    ASSERT_EQ(S_OK, Service(evQuery8, {Long(3), OutLong(&out8)}));
    EXPECT_EQ(0, out8);
    EXPECT_EQ((std::vector<std::string>{"Open Taro C:\\Palm\\Taro\\Vqxa\\record.dat", "Save",
                                        "PreTranslate 260 76 536870912 5 6 7", "FindStart Abc 1 0",
                                        "FindStart Abc 0 1", "FindGoTo 7 1"}),
              view.calls);

    for (BOOL found : {TRUE, FALSE}) {
        view.found = found;
        BSTR first = nullptr, second = nullptr;
        LONG index = -1, gotFound = -1;
        ASSERT_EQ(S_OK, Service(evFindNext, {OutText(&first), OutText(&second), OutLong(&index), OutLong(&gotFound)}));
        EXPECT_EQ(found ? 1 : 0, gotFound);
        EXPECT_EQ(found ? "first" : "", Narrow(first));
        EXPECT_EQ(found ? "second" : "", Narrow(second));
        EXPECT_EQ(found ? 7 : -1, index);
        ::SysFreeString(first);
        ::SysFreeString(second);
    }

    // Arguments that are missing or of the wrong kind reach nothing.
    view.calls.clear();
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Service(evCommand, {Long(20011)}));
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Service(evCommandState, {Long(20011), Long(0)}));
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Service(evUserChanged, {Text("Taro")}));
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Service(evFindNext, {}));
    EXPECT_TRUE(view.calls.empty());
}

TEST_F(Sink, HotSyncIsRefusedWhileTheSharedLibraryForbidsIt)
{
    EXPECT_EQ(std::make_pair(1L, std::string()), HotSyncQuery());
    NorvaneCommon::CComn::SetSyncOK(0);
    EXPECT_EQ(std::make_pair(0L, Ansi(kRefusal)), HotSyncQuery());
    NorvaneCommon::CComn::SetSyncOK(1);
    EXPECT_EQ(std::make_pair(1L, std::string()), HotSyncQuery());
}

// A failing host call leaves out what it would have given, nothing more.
TEST(SinkWithFailingHost, GoesOnWithoutWhatTheCallWouldGive)
{
    const struct {
        const char* failing;
        bool appConnected;
        bool itemAdded;
    } cases[] = {
        {"GetApplication", false, false},
        {"GetFrame", true, false},
        {"GetCommandIDBase", true, false},
        {"GetMenuBar", true, false},
        {"GetMenuPosition", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing);
        fake::Service service;
        RecordingView view;
        Log().Clear();
        Log().failing.insert(c.failing);
        SinkObject* sink = new SinkObject;
        sink->SetService(&service);
        sink->SetView(&view);
        sink->Connect();
        EXPECT_NE(nullptr, service.events.sink);
        EXPECT_EQ(c.appConnected, service.application.events.sink != nullptr);
        ASSERT_EQ(S_OK, service.events.Fire(evActivate, {Long(1)}));
        EXPECT_EQ(c.itemAdded ? 6u : 4u, service.application.frame.Items(MenuView).size());
        ASSERT_EQ(S_OK, service.events.Fire(evActivate, {Long(0)}));
        EXPECT_EQ(PlainViewMenu(), service.application.frame.Items(MenuView));
        EXPECT_EQ((std::vector<std::string>{"Activate 1", "Activate 0"}), view.calls);
        sink->Detach();
        sink->Release();
        EXPECT_TRUE(service.AllReleased());
    }
    Log().Clear();
}

// ------------------------------------------------------ the hosted control

namespace {

class Hosted : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::CoInitialize(nullptr);
        Log().Clear();
    }
    void TearDown() override
    {
        Log().Clear();
        EXPECT_EQ(S_OK, Ocx().CanUnloadNow());
        ::CoUninitialize();
    }
    // Creates the control, sets its site and activates it in place; its window.
    HWND Create(Site& site)
    {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(S_OK, Ocx().GetClassObject(CLSID_TessalyExt, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        if (!factory)
            return nullptr;
        factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(&control));
        factory->Release();
        if (!control)
            return nullptr;
        DWORD status = 0;
        control->GetMiscStatus(DVASPECT_CONTENT, &status);
        EXPECT_EQ(0x20191u, status);
        EXPECT_EQ(S_OK, control->SetClientSite(&site));
        RECT rc = {0, 0, 300, 200};
        EXPECT_EQ(S_OK, control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.hwnd, &rc));
        IOleInPlaceObject* inPlace = nullptr;
        HWND hwnd = nullptr;
        if (SUCCEEDED(control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
            inPlace->GetWindow(&hwnd);
            inPlace->Release();
        }
        EXPECT_EQ(site.hwnd, ::GetParent(hwnd));
        EXPECT_TRUE(::IsWindowVisible(hwnd));
        ExpectViewFills(hwnd);
        return hwnd;
    }
    // The memo view, once the control has one, is shown over the whole control.
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
    void Destroy()
    {
        EXPECT_EQ(S_OK, control->Close(OLECLOSE_NOSAVE));
        EXPECT_EQ(S_OK, control->SetClientSite(nullptr));
        EXPECT_EQ(0u, control->Release());
        control = nullptr;
    }
    std::string Pane(HWND hwnd, Service& service, WPARAM position, LPARAM count)
    {
        service.application.frame.statusBar.panes[1] = "<unset>";
        ::SendMessageA(hwnd, WM_USER + 0x1000, position, count);
        return service.application.frame.statusBar.panes[1];
    }
    IOleObject* control = nullptr;
};

} // namespace

TEST_F(Hosted, ConnectsToItsHostAndShowsTheViewStatus)
{
    fake::Service service;
    service.active = 1;
    Site site(&service);
    HWND hwnd = Create(site);
    ASSERT_NE(nullptr, hwnd);
    EXPECT_NE(nullptr, service.events.sink);
    EXPECT_NE(nullptr, service.application.events.sink);
    EXPECT_NE(nullptr, service.application.frame.events.sink);
    EXPECT_TRUE(Log().Called("GetCurrentUser"));
    EXPECT_EQ(1, service.ready);
    // Already the active view: the item is there from the start.
    EXPECT_EQ(Ansi(kShowColumns), service.application.frame.Items(MenuView).back().first);

    EXPECT_EQ("3 / 5", Pane(hwnd, service, 2, 5));
    EXPECT_EQ("", Pane(hwnd, service, static_cast<WPARAM>(-1), 5));
    EXPECT_EQ("", Pane(hwnd, service, 0, 0));

    LONG allowed = -1;
    BSTR message = nullptr;
    NorvaneCommon::CComn::SetSyncOK(0);
    ASSERT_EQ(S_OK, service.application.events.Fire(evHotSyncQuery, {Text(""), OutLong(&allowed), OutText(&message)}));
    NorvaneCommon::CComn::SetSyncOK(1);
    EXPECT_EQ(0, allowed);
    EXPECT_EQ(Ansi(kRefusal), Narrow(message));
    ::SysFreeString(message);

    // Its events are _DTessalyExtEvents, offered through a connection point.
    IProvideClassInfo2* classInfo = nullptr;
    ASSERT_EQ(S_OK, control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&classInfo)));
    GUID events = GUID_NULL;
    EXPECT_EQ(S_OK, classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events));
    EXPECT_TRUE(IsEqualGUID(DIID__DTessalyExtEvents, events));
    classInfo->Release();
    IConnectionPointContainer* points = nullptr;
    IConnectionPoint* point = nullptr;
    ASSERT_EQ(S_OK, control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)));
    ASSERT_EQ(S_OK, points->FindConnectionPoint(DIID__DTessalyExtEvents, &point));
    point->Release();
    EXPECT_EQ(CONNECT_E_NOCONNECTION, points->FindConnectionPoint(IID_IDispatch, &point));
    points->Release();

    // The persisted property set is the version stamp.
    IPersistStreamInit* persist = nullptr;
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)));
    ASSERT_EQ(S_OK, ::CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    EXPECT_EQ(S_OK, persist->Save(stream, TRUE));
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    DWORD version = 0;
    ULONG got = 0;
    stream->Read(&version, sizeof version, &got);
    EXPECT_EQ(4u, got);
    EXPECT_EQ(0x10000u, version);
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULARGE_INTEGER two = {};
    two.QuadPart = 2;
    stream->SetSize(two);
    EXPECT_EQ(E_FAIL, persist->Load(stream));   // cut short
    stream->Release();
    persist->Release();

    Destroy();
    EXPECT_TRUE(service.AllReleased());
}

TEST_F(Hosted, OutsidePalmDesktopItStandsWithoutASink)
{
    Site site(nullptr);
    HWND hwnd = Create(site);
    ASSERT_NE(nullptr, hwnd);
    ::SendMessageA(hwnd, WM_USER + 0x1000, 1, 2);
    ::UpdateWindow(hwnd);
    Destroy();
}

TEST_F(Hosted, SurvivesEveryFailingHostCallDuringCreation)
{
    for (const char* failing : {"GetApplication", "GetFrame", "GetCurrentUser", "IsActive", "SetReady", "GetMenuBar",
                                "GetMenuPosition", "GetCommandIDBase", "GetStatusBar", "SetPaneText"}) {
        SCOPED_TRACE(failing);
        fake::Service service;
        service.active = 1;
        service.user = "Taro";
        Site site(&service);
        Log().Clear();
        Log().failing.insert(failing);
        HWND hwnd = Create(site);
        ASSERT_NE(nullptr, hwnd);
        Pane(hwnd, service, 0, 1);
        Destroy();
        EXPECT_TRUE(service.AllReleased());
    }
}

// The container moves the control, and the focus makes it the UI-active object.
TEST_F(Hosted, FollowsTheContainersRectanglesAndTakesTheFocus)
{
    Site site(nullptr);
    HWND hwnd = Create(site);
    ASSERT_NE(nullptr, hwnd);
    IOleInPlaceObject* inPlace = nullptr;
    ASSERT_EQ(S_OK, control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)));
    RECT pos = {10, 20, 210, 120};
    EXPECT_EQ(S_OK, inPlace->SetObjectRects(&pos, &pos));
    RECT rc;
    ::GetWindowRect(hwnd, &rc);
    ::MapWindowPoints(nullptr, site.hwnd, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(10, rc.left);
    EXPECT_EQ(200, rc.right - rc.left);
    EXPECT_EQ(100, rc.bottom - rc.top);
    ExpectViewFills(hwnd);
    EXPECT_EQ(S_OK, inPlace->InPlaceDeactivate());
    EXPECT_FALSE(::IsWindow(hwnd));
    inPlace->Release();
    Destroy();
}

TEST_F(Hosted, PropertyPageIsAPlaceholderTitledGeneral)
{
    const CLSID page = {0x08116123, 0x12A5, 0x4C13, {0xA8, 0xB0, 0x7A, 0x9F, 0x6D, 0x7E, 0x66, 0x15}};
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, Ocx().GetClassObject(page, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    IPropertyPage* pp = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&pp)));
    factory->Release();
    PROPPAGEINFO info = {};
    ASSERT_EQ(S_OK, pp->GetPageInfo(&info));
    BSTR title = ::SysAllocString(info.pszTitle);   // a task string, not a BSTR
    EXPECT_EQ(Ansi("全般"), Narrow(title));
    ::SysFreeString(title);
    EXPECT_GT(info.size.cx, 0);
    ::CoTaskMemFree(info.pszTitle);
    Site site(nullptr);
    RECT rc = {0, 0, 300, 100};
    ASSERT_EQ(S_OK, pp->Activate(site.hwnd, &rc, FALSE));
    HWND hPage = ::GetWindow(site.hwnd, GW_CHILD);
    EXPECT_NE(nullptr, hPage);
    EXPECT_EQ(S_FALSE, pp->IsPageDirty());
    EXPECT_EQ(S_OK, pp->Deactivate());
    EXPECT_FALSE(::IsWindow(hPage));
    EXPECT_EQ(0u, pp->Release());
}
