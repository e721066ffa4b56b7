// hotsync on Windows: the users' HotSync operations over every conduit that
// the Conduit Manager stand-in registered, and the conduit's action dialog.
// The chosen actions are kept per user beside the registrations:
//   HKCU\Software\HotSync\Conduits\<creator>\Users\<user>  DefaultAction, NextAction (DWORD)
#include "ConduitExports.h"
#include "HotSync.h"
#include "SyncMgr.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kConduits[] = "Software\\HotSync\\Conduits";

std::string ReadString(HKEY key, const char* name)
{
    char buf[1024];
    DWORD type = 0, size = sizeof buf - 1;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    buf[size] = '\0';
    return buf;
}

bool ReadDword(HKEY key, const char* name, DWORD& value)
{
    DWORD type = 0, size = sizeof value;
    return RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
           type == REG_DWORD;
}

struct Registration {
    std::string creator, conduit, directory, file, remote;
    DWORD priority = 2;
};

std::vector<Registration> ReadRegistrations()
{
    std::vector<Registration> out;
    HKEY root;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kConduits, 0, KEY_READ, &root) != ERROR_SUCCESS)
        return out;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD len = sizeof name;
        if (RegEnumKeyExA(root, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY key;
        if (RegOpenKeyExA(root, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        Registration r;
        r.creator = name;
        r.conduit = ReadString(key, "Conduit");
        r.directory = ReadString(key, "Directory");
        r.file = ReadString(key, "File");
        r.remote = ReadString(key, "RemoteDatabase");
        ReadDword(key, "Priority", r.priority);
        RegCloseKey(key);
        if (!r.conduit.empty())
            out.push_back(r);
    }
    RegCloseKey(root);
    std::stable_sort(out.begin(), out.end(),
                     [](const Registration& a, const Registration& b) { return a.priority < b.priority; });
    return out;
}

std::string UserKey(const std::string& creator, const std::string& user)
{
    return std::string(kConduits) + "\\" + creator + "\\Users\\" + user;
}

// The next action if set (then cleared), else the default, else synchronize.
int32_t TakeAction(const std::string& creator, const std::string& user)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, UserKey(creator, user).c_str(), 0, KEY_READ | KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return 0;
    DWORD value = 0;
    int32_t type = 0;
    if (ReadDword(key, "NextAction", value)) {
        type = static_cast<int32_t>(value);
        RegDeleteValueA(key, "NextAction");
    } else if (ReadDword(key, "DefaultAction", value)) {
        type = static_cast<int32_t>(value);
    }
    RegCloseKey(key);
    return type;
}

uint32_t FourCC(const std::string& s)
{
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<unsigned char>(i < s.size() ? s[i] : ' ');
    return v;
}

} // namespace

int SyncUser(const std::string& user, const std::string& handheld, const std::string& root, bool json)
{
    std::vector<Registration> regs = ReadRegistrations();
    if (regs.empty()) {
        std::fprintf(stderr, "hotsync: no conduit is registered\n");
        return 1;
    }
    // Every conduit's folder inside the user's folder, made before the
    // handheld is touched.
    const std::string userFolder = (root.empty() ? std::string(".") : root) + "\\" + user;
    std::vector<hotsync::SyncJob> jobs;
    for (const Registration& r : regs) {
        hotsync::SyncJob job;
        job.conduit = r.conduit;
        job.folder = r.directory.empty() ? userFolder : userFolder + "\\" + r.directory;
        job.file = r.file;
        if (!r.remote.empty())
            job.dbs.push_back(r.remote);
        job.creator = FourCC(r.creator);
        if (!hotsync::MakeFolders(job.folder)) {
            std::fprintf(stderr, "hotsync: cannot make the folder %s\n", job.folder.c_str());
            return 1;
        }
        jobs.push_back(job);
    }
    if (SyncErr e = TessalyHostServeFolder(handheld.c_str())) {
        std::fprintf(stderr, "hotsync: cannot serve the handheld folder %s (%d)\n", handheld.c_str(), int(e));
        return 1;
    }
    hotsync::Report report(user);
    for (size_t i = 0; i < jobs.size(); ++i) {
        // The action is taken (and a next action used up) only when the conduit runs.
        jobs[i].type = TakeAction(regs[i].creator, user);
        report.Run(jobs[i]);
    }
    TessalyHostServeFolder(nullptr);
    report.Print(json);
    return report.Failed() ? 1 : 0;
}

int ChooseAction(const std::string& user, const std::string& creator)
{
    HKEY key;
    std::string path = std::string(kConduits) + "\\" + creator;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        std::fprintf(stderr, "hotsync: no conduit is registered for %s\n", creator.c_str());
        return 1;
    }
    std::string conduit = ReadString(key, "Conduit");
    std::string directory = ReadString(key, "Directory");
    RegCloseKey(key);
    HMODULE module = LoadLibraryA(conduit.c_str());
    auto cfg = module ? reinterpret_cast<decltype(&CfgConduit)>(reinterpret_cast<void*>(GetProcAddress(module, "CfgConduit"))) : nullptr;
    if (!cfg) {
        std::fprintf(stderr, "hotsync: cannot load the conduit %s\n", conduit.c_str());
        if (module)
            FreeLibrary(module);
        return 1;
    }
    HKEY userKey;
    RegCreateKeyExA(HKEY_CURRENT_USER, UserKey(creator, user).c_str(), 0, nullptr, 0, KEY_READ | KEY_SET_VALUE,
                    nullptr, &userKey, nullptr);
    DWORD def = 0, next = 0;
    if (!ReadDword(userKey, "DefaultAction", def))
        def = 0;
    if (!ReadDword(userKey, "NextAction", next))
        next = def;
    CfgConduitInfo info;
    std::memset(&info, 0, sizeof info);
    info.dwVersion = 1;
    info.dwSize = sizeof info;
    info.dwCreatorId = FourCC(creator);
    std::strncpy(info.szUser, user.c_str(), sizeof info.szUser - 1);
    std::strncpy(info.szPath, directory.c_str(), sizeof info.szPath - 1);
    info.syncPermanent = static_cast<int32_t>(def);
    info.syncTemporary = static_cast<int32_t>(next);
    info.syncNew = -1;
    info.syncPref = 0;
    uint32_t size = sizeof info;
    int32_t result = cfg(0, &info, &size);
    FreeLibrary(module);
    if (result != 0) {
        std::printf("conduit %s failed: %ld\n", creator.c_str(), static_cast<long>(result));
        RegCloseKey(userKey);
        return 1;
    }
    if (info.syncPref == CONDUIT_PREF_PERMANENT || info.syncPref == CONDUIT_PREF_TEMPORARY) {
        DWORD chosen = static_cast<DWORD>(info.syncNew);
        if (info.syncPref == CONDUIT_PREF_PERMANENT) {
            RegSetValueExA(userKey, "DefaultAction", 0, REG_DWORD, reinterpret_cast<BYTE*>(&chosen), sizeof chosen);
            RegDeleteValueA(userKey, "NextAction");
        } else {
            RegSetValueExA(userKey, "NextAction", 0, REG_DWORD, reinterpret_cast<BYTE*>(&chosen), sizeof chosen);
        }
        std::printf("%s %ld\n", info.syncPref == CONDUIT_PREF_PERMANENT ? "default" : "next",
                    static_cast<long>(info.syncNew));
    } else {
        std::printf("unchanged\n");
    }
    RegCloseKey(userKey);
    return 0;
}
