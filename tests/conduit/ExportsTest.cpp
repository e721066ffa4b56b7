// The conduit DLL as the HotSync Manager sees it: its six exports by name,
// their argument checks and results, and the action dialogs driven as a user
// would, in-process (a thread timer acts on the open dialog).
#include "ConduitExports.h"
#include "ConduitStrings.h"
#include "SyncFixture.h"
#include "shared/ui/UiDriver.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

struct Dll {
    HMODULE h = LoadLibraryA("TessalyConduit.dll");
    ~Dll()
    {
        if (h)
            FreeLibrary(h);
    }
    template <class F> F Get(const char* name) { return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(h, name))); }
};

Dll& TheDll()
{
    static Dll dll;
    return dll;
}

#define EXPORT(name) TheDll().Get<decltype(&name)>(#name)

// Runs call() while the user acts on the dialog it opens, from the dialog's own loop.
template <class Call> auto WithUser(std::function<void(HWND)> user, Call call)
{
    uitest::Script script({[&](HWND d) {
        if (d)
            user(d);
        return d != nullptr;
    }});
    return call();
}

std::string Text(HWND hDlg, int id)
{
    char buf[256] = {};
    GetDlgItemTextA(hDlg, id, buf, sizeof buf);
    return buf;
}

void Click(HWND hDlg, int id) { SendMessageA(GetDlgItem(hDlg, id), BM_CLICK, 0, 0); }

CfgConduitInfo Record(int32_t permanent, int32_t temporary, uint32_t creator = 0x56717861)
{
    CfgConduitInfo info;
    std::memset(&info, 0, sizeof info);
    info.dwVersion = 1;
    info.dwSize = sizeof info;
    info.dwCreatorId = creator;
    std::strcpy(info.szUser, "Hanako");
    info.syncPermanent = permanent;
    info.syncTemporary = temporary;
    info.syncNew = 77;
    info.syncPref = 88;
    return info;
}

} // namespace

TEST(ConduitExports, NamesVersionAndInfo)
{
    ASSERT_TRUE(TheDll().h);
    for (const char* name : {"OpenConduit", "GetConduitName", "GetConduitVersion", "GetConduitInfo", "ConfigureConduit",
                             "CfgConduit"})
        EXPECT_TRUE(GetProcAddress(TheDll().h, name)) << name;
    char name[64];
    EXPECT_EQ(0, EXPORT(GetConduitName)(name, sizeof name));
    EXPECT_STREQ("Tessaly Conduit", name);
    EXPECT_EQ(0, EXPORT(GetConduitName)(name, 8));
    EXPECT_STREQ("Tessaly", name);
    EXPECT_EQ(-1, EXPORT(GetConduitName)(name, 0));
    EXPECT_EQ(258u, EXPORT(GetConduitVersion)());

    auto info = EXPORT(GetConduitInfo);
    ConduitRequestInfo req = {1, 80, 0x56717861, 7, "Hanako"};
    uint32_t size = sizeof name;
    uint32_t value = 0xAAAAAAAA;
    EXPECT_EQ(4209, info(0, &req, nullptr, &size));
    EXPECT_EQ(4215, info(0, &req, name, nullptr));
    EXPECT_EQ(4212, info(0, nullptr, name, &size));
    req.dwSize = 81;
    EXPECT_EQ(4213, info(0, &req, name, &size));
    req.dwSize = 80;
    EXPECT_EQ(0, info(0, &req, name, &size));
    EXPECT_STREQ("Tessaly Conduit", name);
    EXPECT_EQ(sizeof name, size);
    uint32_t eight = 8;
    EXPECT_EQ(4211, info(1, nullptr, &value, &eight));
    EXPECT_EQ(4211, info(2, nullptr, &value, &eight));
    EXPECT_EQ(0xAAAAAAAAu, value);
    uint32_t four = 4;
    EXPECT_EQ(0, info(1, nullptr, &value, &four));
    EXPECT_EQ(0x10000000u, value);
    EXPECT_EQ(0, info(2, nullptr, &value, &four));
    EXPECT_EQ(0u, value);
    EXPECT_EQ(4u, four);
    EXPECT_EQ(4208, info(3, nullptr, &value, &four));
}

TEST(ConduitExports, EveryStringIsInTheResources)
{
    struct Entry {
        unsigned id;
        const char* text;
    };
#define TESSALY_ENTRY(id, text) {id, text},
    const Entry entries[] = {TESSALY_CONDUIT_UI_STRINGS(TESSALY_ENTRY) TESSALY_CONDUIT_LOG_STRINGS(TESSALY_ENTRY)};
#undef TESSALY_ENTRY
    for (const Entry& e : entries) {
        char buf[512] = {};
        LoadStringA(TheDll().h, e.id, buf, sizeof buf);
        EXPECT_STREQ(e.text, buf) << e.id;
    }
    // The messages of the log table, those no code writes included.
    for (unsigned id : {3311u, 3315u, 3322u, 3331u, 3346u, 3358u, 3363u, 3367u, 3373u, 3377u, 3379u, 3380u}) {
        char buf[512] = {};
        EXPECT_GT(LoadStringA(TheDll().h, id, buf, sizeof buf), 0) << id;
    }
}

TEST(ConduitExports, ArgumentChecksOfOpenAndCfg)
{
    CSyncProperties props;
    std::memset(&props, 0, sizeof props);
    EXPECT_EQ(-1, EXPORT(OpenConduit)(nullptr, props));
    props.m_SyncType = 8;
    EXPECT_EQ(4371, EXPORT(OpenConduit)([](const char*) -> int32_t { return 0; }, props));
    props.m_SyncType = 6;
    EXPECT_EQ(0, EXPORT(OpenConduit)([](const char*) -> int32_t { return 0; }, props));

    auto cfg = EXPORT(CfgConduit);
    CfgConduitInfo info = Record(0, 0);
    uint32_t size = sizeof info;
    EXPECT_EQ(4212, cfg(0, nullptr, &size));
    EXPECT_EQ(4216, cfg(0, &info, nullptr));
    uint32_t wrong = 351;
    EXPECT_EQ(4218, cfg(0, &info, &wrong));
    info.dwVersion = 2;
    EXPECT_EQ(4217, cfg(1, &info, &size));   // the kind is checked before the version
    EXPECT_EQ(4219, cfg(0, &info, &size));
}

TEST(ConduitDialogs, ChangeActionWithCurrentSettings)
{
    auto cfg = EXPORT(CfgConduit);
    CfgConduitInfo info = Record(3, 1);
    uint32_t size = sizeof info;
    std::string title, group, current, next, def;
    bool syncChecked = false;
    // A slow sync preselects "Synchronize the files"; OK without change gives 0.
    EXPECT_EQ(0, WithUser(
                     [&](HWND d) {
                         title = [&] {
                             char b[128] = {};
                             GetWindowTextA(d, b, sizeof b);
                             return std::string(b);
                         }();
                         group = Text(d, 403);
                         current = Text(d, 1006);
                         next = Text(d, 1005);
                         def = Text(d, 1004);
                         syncChecked = IsDlgButtonChecked(d, 404) == BST_CHECKED;
                         EXPECT_TRUE(GetDlgItem(d, 1000) && GetDlgItem(d, 1003));
                         EXPECT_TRUE(SendDlgItemMessageA(d, 1000, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0);
                         Click(d, IDOK);
                     },
                     [&] { return cfg(0, &info, &size); }));
    EXPECT_EQ("Tessaly Conduit", title);
    EXPECT_EQ("HotSync Action for Tessaly Conduit", group);
    EXPECT_EQ("Hanako's Current Settings:", current);
    EXPECT_EQ("Synchronize the files.", next);
    EXPECT_EQ("Desktop overwrites Palm organizer.", def);
    EXPECT_TRUE(syncChecked);
    EXPECT_EQ(0, info.syncNew);
    EXPECT_EQ(2, info.syncPref);

    // Handheld overwrites desktop, set as default.
    info = Record(0, 0);
    EXPECT_EQ(0, WithUser(
                     [&](HWND d) {
                         Click(d, 406);
                         EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(d, 404));
                         Click(d, 411);
                         Click(d, IDOK);
                     },
                     [&] { return cfg(0, &info, &size); }));
    EXPECT_EQ(2, info.syncNew);
    EXPECT_EQ(1, info.syncPref);

    // Cancel leaves the record as the host gave it, and still returns 0.
    info = Record(0, 5);
    bool nothingChecked = false;
    EXPECT_EQ(0, WithUser(
                     [&](HWND d) {
                         nothingChecked = IsDlgButtonChecked(d, 407) == BST_CHECKED;
                         Click(d, 405);
                         Click(d, IDCANCEL);
                     },
                     [&] { return cfg(0, &info, &size); }));
    EXPECT_TRUE(nothingChecked);
    EXPECT_EQ(77, info.syncNew);
    EXPECT_EQ(88, info.syncPref);
}

TEST(ConduitDialogs, ConfigureConduitWithoutCurrentSettings)
{
    auto configure = EXPORT(ConfigureConduit);
    unsigned char prefs[600] = {};
    int32_t type = 3;
    std::memcpy(prefs + 520, &type, 4);
    bool hasCurrent = true, pcChecked = false;
    EXPECT_EQ(0, WithUser(
                     [&](HWND d) {
                         hasCurrent = GetDlgItem(d, 1006) != nullptr;
                         pcChecked = IsDlgButtonChecked(d, 405) == BST_CHECKED;
                         Click(d, 407);
                         Click(d, IDOK);
                     },
                     [&] { return configure(prefs); }));
    EXPECT_FALSE(hasCurrent);
    EXPECT_TRUE(pcChecked);
    std::memcpy(&type, prefs + 520, 4);
    int32_t pref = 0;
    std::memcpy(&pref, prefs + 516, 4);
    EXPECT_EQ(6, type);
    EXPECT_EQ(2, pref);

    EXPECT_EQ(-1, WithUser([&](HWND d) { Click(d, IDCANCEL); }, [&] { return configure(prefs); }));
    std::memcpy(&type, prefs + 520, 4);
    EXPECT_EQ(6, type);
}

TEST(ConduitLocking, AnOpenDataFileMakesTheSyncFailAndChangesNothing)
{
    using namespace synctest;
    for (LONG syncType : {0, 1}) {
        World w;
        auto hh = w.NewHandheld(CategoryBlock({"Work"}));
        tessaly::PdbRecord r;
        r.uniqueId = 1;
        r.attributes = tessaly::kPdbRecDirty;
        r.data = B("handheld change");
        hh.records.push_back(r);
        w.PutHandheld(hh);
        DeskFile pc;
        pc.appInfo = CategoryBlock({"Work"});
        pc.records.push_back({2, 0x1, 0, B("desktop change")});
        w.PutDesktop(pc);
        const Bytes pdbBefore = testsupport::ReadBytes(w.PdbPath());
        const Bytes before = testsupport::ReadBytes(w.DataFile());
        // Another program holds the file open without sharing.
        HANDLE h = CreateFileA(w.DataFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        EXPECT_EQ(CONDUIT_FILE_OPEN_FAILED, w.Sync(syncType));
        CloseHandle(h);
        EXPECT_EQ(before, testsupport::ReadBytes(w.DataFile()));
        EXPECT_EQ(pdbBefore, testsupport::ReadBytes(w.PdbPath()));
        EXPECT_FALSE(w.HasFile("record.BAK"));
        // Once it lets go, the operation goes through.
        EXPECT_EQ(0, w.Sync(syncType));
        EXPECT_EQ(Summary(w.GetHandheld()), Summary(w.GetDesktop()));
    }
}
