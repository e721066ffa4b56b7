// The conduit DLL as the HotSync Manager sees it: its exports by name, and the
// action dialogs driven in-process as a user would.
#include "ConduitExports.h"
#include "ConduitStrings.h"
#include "SyncFixture.h"
#include "shared/ui/UiDriver.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

HMODULE TheDll()
{
    static HMODULE h = LoadLibraryA("TessalyConduit.dll");
    return h;
}

#define EXPORT(name) reinterpret_cast<decltype(&name)>(reinterpret_cast<void*>(GetProcAddress(TheDll(), #name)))

int32_t CONDUIT_CALL Progress(const char*) { return 0; }

// Runs call() while the user acts on the dialog it opens (titled with the conduit's name).
template <class Call> auto WithUser(std::function<void(HWND)> user, Call call)
{
    uitest::Script script({uitest::On("Tessaly Conduit", user)});
    return call();
}

// The dialog's current state: the checked action and whether every picture is there.
int Checked(HWND d)
{
    for (int id = 1000; id <= 1003; ++id)
        EXPECT_TRUE(SendDlgItemMessageA(d, id, STM_GETIMAGE, IMAGE_BITMAP, 0)) << "picture " << id;
    for (int id = 404; id <= 407; ++id)
        if (IsDlgButtonChecked(d, id) == BST_CHECKED)
            return id;
    return 0;
}

// Clicks the buttons in turn, synchronously (an auto check box toggles only so).
void Click(HWND d, std::vector<int> ids)
{
    for (int id : ids)
        SendMessageA(GetDlgItem(d, id), BM_CLICK, 0, 0);
}

CfgConduitInfo Record(int32_t permanent, int32_t temporary)
{
    return {1, sizeof(CfgConduitInfo), 0x56717861, 0, "Hanako", "", permanent, temporary, 77, 88};
}

} // namespace

TEST(ConduitExports, EveryStringIsInTheResources)
{
    struct Entry { unsigned id; const char* text; };
#define TESSALY_ENTRY(id, text) {id, text},
    const Entry entries[] = {TESSALY_CONDUIT_UI_STRINGS(TESSALY_ENTRY) TESSALY_CONDUIT_LOG_STRINGS(TESSALY_ENTRY)};
#undef TESSALY_ENTRY
    char buf[512];
    for (const Entry& e : entries)
        EXPECT_STREQ(e.text, LoadStringA(TheDll(), e.id, buf, sizeof buf) ? buf : "") << e.id;
}

TEST(ConduitExports, NamesVersionInfoAndArgumentChecks)
{
    ASSERT_TRUE(TheDll());
    char name[64];
    EXPECT_EQ(0, EXPORT(GetConduitName)(name, sizeof name));
    EXPECT_STREQ("Tessaly Conduit", name);
    EXPECT_EQ(0, EXPORT(GetConduitName)(name, 8));
    EXPECT_STREQ("Tessaly", name);
    EXPECT_EQ(-1, EXPORT(GetConduitName)(name, 0));
    EXPECT_EQ(258u, EXPORT(GetConduitVersion)());

    ConduitRequestInfo req = {1, 80, 0x56717861, 7, "Hanako"}, bad = {1, 81, 0x56717861, 7, "Hanako"};
    uint32_t size = sizeof name, eight = 8, four = 4, value = 0xAAAAAAAA;
    struct Call { int32_t kind; void* request; void* out; uint32_t* size; int32_t result; } const calls[] = {
        {0, &req, nullptr, &size, 4209}, {0, &req, name, nullptr, 4215},    {0, nullptr, name, &size, 4212},
        {0, &bad, name, &size, 4213},    {1, nullptr, &value, &eight, 4211}, {2, nullptr, &value, &eight, 4211},
        {3, nullptr, &value, &four, 4208}};
    for (const Call& c : calls)
        EXPECT_EQ(c.result, EXPORT(GetConduitInfo)(c.kind, c.request, c.out, c.size)) << c.kind << ' ' << c.result;
    EXPECT_EQ(0xAAAAAAAAu, value);
    EXPECT_EQ(0, EXPORT(GetConduitInfo)(0, &req, name, &size));
    EXPECT_STREQ("Tessaly Conduit", name);
    EXPECT_EQ(0, EXPORT(GetConduitInfo)(1, nullptr, &value, &four));
    EXPECT_EQ(0x10000000u, value);
    EXPECT_EQ(0, EXPORT(GetConduitInfo)(2, nullptr, &value, &four));
    EXPECT_EQ(0u, value);

    CSyncProperties props{};
    EXPECT_EQ(-1, EXPORT(OpenConduit)(nullptr, props));
    props.m_SyncType = 8;
    EXPECT_EQ(4371, EXPORT(OpenConduit)(Progress, props));
    props.m_SyncType = 6;
    EXPECT_EQ(0, EXPORT(OpenConduit)(Progress, props));

    auto cfg = EXPORT(CfgConduit);
    CfgConduitInfo info = Record(0, 0);
    uint32_t full = sizeof info, wrong = 351;
    EXPECT_EQ(4212, cfg(0, nullptr, &full));
    EXPECT_EQ(4216, cfg(0, &info, nullptr));
    EXPECT_EQ(4218, cfg(0, &info, &wrong));
    info.dwVersion = 2;
    EXPECT_EQ(4217, cfg(1, &info, &full));   // the kind is checked before the version
    EXPECT_EQ(4219, cfg(0, &info, &full));
}

TEST(ConduitDialogs, ChangeActionWithAndWithoutCurrentSettings)
{
    // The actions, the button preselected, what the user clicks, and the record after.
    struct Case { int32_t permanent, temporary; int preselected; std::vector<int> clicks; int32_t syncNew, syncPref; };
    const Case cases[] = {
        {3, 1, 404, {IDOK}, 0, 2},   // a slow sync preselects Synchronize
        {0, 0, 404, {406, 411, IDOK}, 2, 1},
        {0, 2, 406, {405, IDOK}, 3, 2},
        {0, 5, 407, {405, IDCANCEL}, 77, 88},   // Cancel leaves the record as the host gave it, and still gives 0
    };
    for (const Case& c : cases) {
        CfgConduitInfo info = Record(c.permanent, c.temporary);
        uint32_t size = sizeof info;
        EXPECT_EQ(0, WithUser(
                         [&](HWND d) {
                             if (c.permanent == 3) {
                                 EXPECT_EQ("HotSync Action for Tessaly Conduit", uitest::ItemText(d, 403));
                                 EXPECT_EQ("Hanako's Current Settings:", uitest::ItemText(d, 1006));
                                 EXPECT_EQ("Synchronize the files.", uitest::ItemText(d, 1005));
                                 EXPECT_EQ("Desktop overwrites Palm organizer.", uitest::ItemText(d, 1004));
                             }
                             EXPECT_EQ(c.preselected, Checked(d));
                             Click(d, c.clicks);
                         },
                         [&] { return EXPORT(CfgConduit)(0, &info, &size); }));
        EXPECT_EQ(c.syncNew, info.syncNew) << c.temporary;
        EXPECT_EQ(c.syncPref, info.syncPref) << c.temporary;
    }

    // ConfigureConduit: the dialog without current settings, on the host's structure.
    auto configure = EXPORT(ConfigureConduit);
    unsigned char prefs[600] = {};
    const int32_t pcToHandheld = 3;
    std::memcpy(prefs + 520, &pcToHandheld, 4);
    auto at = [&](size_t offset) {
        int32_t v;
        std::memcpy(&v, prefs + offset, 4);
        return v;
    };
    EXPECT_EQ(0, WithUser(
                     [&](HWND d) {
                         EXPECT_FALSE(GetDlgItem(d, 1006)) << "no current settings";
                         EXPECT_EQ(405, Checked(d));
                         Click(d, {407, IDOK});
                     },
                     [&] { return configure(prefs); }));
    EXPECT_EQ(6, at(520));
    EXPECT_EQ(2, at(516));

    EXPECT_EQ(-1, WithUser([&](HWND d) { Click(d, {404, IDCANCEL}); }, [&] { return configure(prefs); }));
    EXPECT_EQ(6, at(520));
}

TEST(ConduitLocking, AnOpenDataFileMakesTheSyncFailAndChangesNothing)
{
    using namespace synctest;
    for (LONG syncType : {0, 1}) {
        World w;
        auto hh = w.NewHandheld(CategoryBlock({"Work"}));
        hh.records.push_back({tessaly::kPdbRecDirty, 1, 0, 0, B("handheld change")});
        w.PutHandheld(hh);
        w.PutDesktop({CategoryBlock({"Work"}), {{2, 0x1, 0, B("desktop change")}}});
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
