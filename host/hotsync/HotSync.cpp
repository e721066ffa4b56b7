// hotsync: plays the HotSync Manager. Serves a handheld folder through the
// Sync Manager stand-in, fills the sync properties, calls the conduit's
// exports and prints the HotSync log of the operation.
#include "ConduitExports.h"
#include "HsLog.h"
#include "SyncMgr.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

const char kUsage[] =
    "usage: hotsync sync --handheld DIR --folder DIR [--file NAME] [--db NAME]... [--type N] [--first-sync N]"
    " [--conduit PATH]\n"
    "       hotsync sync --user NAME --handheld DIR [--desktop ROOT]\n"
    "       hotsync action --user NAME --creator ID\n"
    "Exit status: 0 every conduit returned 0; 1 a conduit failed (its code is printed); 64 wrong usage.\n";

int Usage(const char* message)
{
    if (message)
        std::fprintf(stderr, "hotsync: %s\n", message);
    std::fputs(kUsage, stderr);
    return 64;
}

bool ParseInt(const char* s, long& out)
{
    if (!s || !*s)
        return false;
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (*end)
        return false;
    out = v;
    return true;
}

int32_t CONDUIT_CALL Progress(const char*) { return 0; }

struct Conduit {
    decltype(&OpenConduit) open = nullptr;
    decltype(&CfgConduit) cfg = nullptr;
#if defined(_WIN32)
    HMODULE module = nullptr;
    ~Conduit()
    {
        if (module)
            FreeLibrary(module);
    }
#endif
    // An empty path is the conduit linked into this program (native) or the
    // one beside it (Windows).
    bool Load(const std::string& path)
    {
#if defined(_WIN32)
        std::string file = path;
        if (file.empty()) {
            char self[MAX_PATH];
            DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
            file.assign(self, n);
            size_t slash = file.find_last_of("\\/");
            file = (slash == std::string::npos ? std::string() : file.substr(0, slash + 1)) + "TessalyConduit.dll";
        }
        module = LoadLibraryA(file.c_str());
        if (!module) {
            std::fprintf(stderr, "hotsync: cannot load the conduit %s\n", file.c_str());
            return false;
        }
        open = reinterpret_cast<decltype(&OpenConduit)>(reinterpret_cast<void*>(GetProcAddress(module, "OpenConduit")));
        cfg = reinterpret_cast<decltype(&CfgConduit)>(reinterpret_cast<void*>(GetProcAddress(module, "CfgConduit")));
        if (!open) {
            std::fprintf(stderr, "hotsync: %s has no OpenConduit\n", file.c_str());
            return false;
        }
        return true;
#else
        if (!path.empty()) {
            std::fprintf(stderr, "hotsync: this build links its conduit; --conduit is for the Windows build\n");
            return false;
        }
        open = &OpenConduit;
        cfg = &CfgConduit;
        return true;
#endif
    }
};

void PrintLog(int from)
{
    char text[1024];
    int32_t activity = 0;
    for (int i = from; TessalyHostLogEntry(i, &activity, text, sizeof text) == 0; ++i) {
        if (text[0])
            std::printf("%s\n", text);
    }
}

int CountLog()
{
    int n = 0;
    char text[4];
    int32_t activity;
    while (TessalyHostLogEntry(n, &activity, text, sizeof text) == 0)
        ++n;
    return n;
}

struct SyncJob {
    std::string folder, file, conduit;
    std::vector<std::string> dbs;
    long type = 0, firstSync = 0;
    uint32_t creator = 0x56717861;   // 'Vqxa'
    uint32_t dbType = 0x44415441;    // 'DATA'
};

// One operation for one conduit; its result.
int32_t RunOne(const SyncJob& job, bool& loaded)
{
    Conduit conduit;
    loaded = conduit.Load(job.conduit);
    if (!loaded)
        return -1;
    CSyncProperties props;
    std::memset(&props, 0, sizeof props);
    props.m_SyncType = static_cast<int32_t>(job.type);
    std::strncpy(props.m_PathName, job.folder.c_str(), sizeof props.m_PathName - 1);
    std::strncpy(props.m_LocalName, job.file.c_str(), sizeof props.m_LocalName - 1);
    std::vector<std::string> names = job.dbs;
    if (names.empty())
        names.push_back("Tessaly-Vqxa");
    if (names.size() > 32)
        names.resize(32);
    for (size_t i = 0; i < names.size(); ++i)
        props.m_RemoteName[i] = const_cast<char*>(names[i].c_str());
    props.m_nRemoteCount = static_cast<int16_t>(names.size());
    props.m_RemoteDbList = nullptr;
    props.m_Creator = job.creator;
    props.m_DbType = job.dbType;
    props.m_FirstSync = static_cast<uint32_t>(job.firstSync);
    return conduit.open(&Progress, props);
}

int SyncDirect(const std::string& handheld, const SyncJob& job)
{
    if (SyncErr e = TessalyHostServeFolder(handheld.c_str())) {
        std::fprintf(stderr, "hotsync: cannot serve the handheld folder %s (%d)\n", handheld.c_str(), int(e));
        return 1;
    }
    int before = CountLog();
    bool loaded = false;
    int32_t result = RunOne(job, loaded);
    TessalyHostServeFolder(nullptr);
    PrintLog(before);
    if (!loaded)
        return 1;
    if (result != 0) {
        std::printf("conduit failed: %ld\n", static_cast<long>(result));
        return 1;
    }
    return 0;
}

} // namespace

#if defined(_WIN32)
int SyncUser(const std::string& user, const std::string& handheld, const std::string& root);
int ChooseAction(const std::string& user, const std::string& creator);
#endif

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage(nullptr);
    const std::string command = args[0];
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::string handheld, user, desktop, creator;
    SyncJob job;
    bool haveFolder = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const char* value = i + 1 < args.size() ? args[i + 1].c_str() : nullptr;
        if (!value)
            return Usage((a + " needs a value").c_str());
        ++i;
        long n = 0;
        if (a == "--handheld")
            handheld = value;
        else if (a == "--folder") {
            job.folder = value;
            haveFolder = true;
        } else if (a == "--file")
            job.file = value;
        else if (a == "--db")
            job.dbs.push_back(value);
        else if (a == "--type") {
            if (!ParseInt(value, n))
                return Usage("--type takes a number");
            job.type = n;
        } else if (a == "--first-sync") {
            if (!ParseInt(value, n))
                return Usage("--first-sync takes a number");
            job.firstSync = n;
        } else if (a == "--conduit")
            job.conduit = value;
        else if (a == "--user")
            user = value;
        else if (a == "--desktop")
            desktop = value;
        else if (a == "--creator")
            creator = value;
        else
            return Usage(("unknown option " + a).c_str());
    }
    if (command == "sync") {
        if (handheld.empty())
            return Usage("sync needs --handheld");
        if (!user.empty()) {
#if defined(_WIN32)
            return SyncUser(user, handheld, desktop);
#else
            std::fprintf(stderr, "hotsync: --user reads the Conduit Manager's registrations, kept by Windows\n");
            return 1;
#endif
        }
        if (!haveFolder)
            return Usage("sync needs --folder or --user");
        return SyncDirect(handheld, job);
    }
    if (command == "action") {
        if (user.empty() || creator.empty())
            return Usage("action needs --user and --creator");
#if defined(_WIN32)
        return ChooseAction(user, creator);
#else
        std::fprintf(stderr, "hotsync: the action dialog needs Windows\n");
        return 1;
#endif
    }
    return Usage(("unknown command " + command).c_str());
}
