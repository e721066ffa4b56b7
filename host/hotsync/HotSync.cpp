// hotsync: plays the HotSync Manager. Serves a handheld folder through the
// Sync Manager stand-in, makes the user's folder, fills the sync properties,
// calls the conduit's exports and prints the HotSync log of the operation.
#include "HotSync.h"

#include "ConduitExports.h"
#include "HsLog.h"
#include "SyncMgr.h"
#include "TextCodec.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace hotsync {

namespace {

int32_t CONDUIT_CALL Progress(const char*) { return 0; }

struct Loader {
    decltype(&OpenConduit) open = nullptr;
    decltype(&GetConduitName) name = nullptr;
#if defined(_WIN32)
    HMODULE module = nullptr;
    ~Loader()
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
        name = reinterpret_cast<decltype(&GetConduitName)>(
            reinterpret_cast<void*>(GetProcAddress(module, "GetConduitName")));
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
        name = &GetConduitName;
        return true;
#endif
    }
};

int LogCount()
{
    int n = 0;
    char text[4];
    int32_t activity;
    while (TessalyHostLogEntry(n, &activity, text, sizeof text) == 0)
        ++n;
    return n;
}

enum class Kind { Hidden, Ok, Failed, Conflict, Warning, Error, Note };

// What an entry tells the person reading the log, by its activity code.
Kind KindOf(int32_t activity, const std::string& text)
{
    if (text.empty())
        return Kind::Hidden;   // the markers a conduit logs when it starts
    switch (activity) {
    case 20: return Kind::Ok;
    case 21: return Kind::Failed;
    case 2: return Kind::Conflict;
    case 3:
    case 4: return Kind::Warning;
    case -1:
    case 7:
    case 8:
    case 9:
    case 10:
    case 13:
    case 17:
    case 18:
    case 22: return Kind::Error;
    default: return Kind::Note;
    }
}

const char* Marker(Kind kind)
{
    switch (kind) {
    case Kind::Ok: return "OK ";
    case Kind::Failed: return "Failed ";
    case Kind::Conflict: return "Conflict: ";
    case Kind::Warning: return "Warning: ";
    case Kind::Error: return "Error: ";
    default: return "Note: ";
    }
}

std::string When(std::time_t t, bool json)
{
    char buf[32] = "";
    if (const std::tm* tm = std::localtime(&t))
        std::strftime(buf, sizeof buf, json ? "%Y-%m-%dT%H:%M:%S" : "%Y-%m-%d %H:%M:%S", tm);
    return buf;
}

} // namespace

Report::Report(const std::string& user) : m_user(user), m_started(std::time(nullptr)) {}

void Report::Run(const SyncJob& job)
{
    int first = LogCount();
    Loader conduit;
    Conduit ran{job.conduit.empty() ? "the conduit" : job.conduit, -1, conduit.Load(job.conduit), {}};
    if (ran.loaded) {
        char name[256] = "";
        if (conduit.name && conduit.name(name, sizeof name) == 0 && name[0])
            ran.name = tessaly::SjisToUtf8(name);
        CSyncProperties props;
        std::memset(&props, 0, sizeof props);
        props.m_SyncType = job.type;
        std::strncpy(props.m_PathName, job.folder.c_str(), sizeof props.m_PathName - 1);
        std::strncpy(props.m_LocalName, job.file.c_str(), sizeof props.m_LocalName - 1);
        size_t count = job.dbs.size() < 32 ? job.dbs.size() : 32;
        for (size_t i = 0; i < count; ++i)
            props.m_RemoteName[i] = const_cast<char*>(job.dbs[i].c_str());
        props.m_nRemoteCount = static_cast<int16_t>(count);
        props.m_RemoteDbList = nullptr;
        props.m_Creator = job.creator;
        props.m_DbType = job.dbType;
        props.m_FirstSync = job.firstSync;
        ran.result = conduit.open(&Progress, props);
    }
    char text[1024];
    int32_t activity = 0;
    for (int i = first; TessalyHostLogEntry(i, &activity, text, sizeof text) == 0; ++i)
        ran.entries.push_back({activity, tessaly::SjisToUtf8(text)});
    m_conduits.push_back(ran);
}

bool Report::Failed() const
{
    for (const Conduit& c : m_conduits)
        if (!c.loaded || c.result != 0)
            return true;
    return false;
}

void Report::Print(bool json) const
{
    const std::time_t ended = std::time(nullptr);
    bool messages = false;
    std::string out;
    if (json) {
        const std::string user = m_user.empty() ? "null" : tessaly::JsonQuote(tessaly::SjisToUtf8(m_user));
        out = "{\"started\": \"" + When(m_started, true) + "\", \"user\": " + user + ", \"conduits\": [";
        for (size_t i = 0; i < m_conduits.size(); ++i) {
            const Conduit& c = m_conduits[i];
            out += std::string(i ? ", " : "") + "{\"name\": " + tessaly::JsonQuote(c.name) +
                   ", \"loaded\": " + (c.loaded ? "true" : "false") + ", \"result\": " + std::to_string(c.result) +
                   ", \"entries\": [";
            for (size_t j = 0; j < c.entries.size(); ++j)
                out += std::string(j ? ", " : "") + "{\"activity\": " + std::to_string(c.entries[j].activity) +
                       ", \"text\": " + tessaly::JsonQuote(c.entries[j].text) + "}";
            out += "]}";
        }
        out += "], ";
    } else {
        out = "HotSync operation started " + When(m_started, false) +
              (m_user.empty() ? "" : " for " + tessaly::SjisToUtf8(m_user)) + "\n";
    }
    for (const Conduit& c : m_conduits) {
        bool endShown = false;
        for (const Entry& e : c.entries) {
            Kind kind = KindOf(e.activity, e.text);
            if (kind == Kind::Hidden)
                continue;
            messages = messages || kind != Kind::Ok;
            std::string line = Marker(kind) + e.text;
            if (kind == Kind::Failed && c.result != 0) {
                line += " (error " + std::to_string(c.result) + ")";
                endShown = true;
            }
            if (!json)
                out += line + "\n";
        }
        // A conduit that failed before it could log its end.
        if (!endShown && (!c.loaded || c.result != 0) && !json)
            out += "Failed " + c.name +
                   (c.loaded ? " (error " + std::to_string(c.result) + ")" : std::string(" (cannot be loaded)")) + "\n";
    }
    const char* outcome = Failed() ? "failed" : messages ? "completed with messages" : "completed";
    if (json)
        out += "\"outcome\": \"" + std::string(outcome) + "\", \"ended\": \"" + When(ended, true) + "\"}\n";
    else
        out += "HotSync operation " + std::string(outcome) + " " + When(ended, false) + "\n";
    std::fputs(out.c_str(), stdout);
}

bool MakeFolders(const std::string& path)
{
    std::string p = path;
#if defined(_WIN32)
    auto isFolder = [](const std::string& s) {
        DWORD a = GetFileAttributesA(s.c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    };
    auto makeOne = [](const std::string& s) { return CreateDirectoryA(s.c_str(), nullptr) != 0; };
    // The last separator, stepping by characters: a Shift-JIS trail byte may be a backslash.
    size_t cut = std::string::npos;
    for (const char* c = p.c_str(); *c; c = CharNextA(c))
        if (*c == '\\' || *c == '/')
            cut = static_cast<size_t>(c - p.c_str());
#else
    auto isFolder = [](const std::string& s) {
        struct stat st;
        return stat(s.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    };
    auto makeOne = [](const std::string& s) { return mkdir(s.c_str(), 0777) == 0; };
    size_t cut = p.find_last_of('/');
#endif
    if (p.empty())
        return false;
    if (isFolder(p))
        return true;
    if (cut != std::string::npos && cut + 1 == p.size())   // a trailing separator
        return MakeFolders(p.substr(0, cut));
    if (cut != std::string::npos && cut > 0 && !MakeFolders(p.substr(0, cut)))
        return false;
    return makeOne(p) || isFolder(p);
}

bool ParseFourCC(const std::string& text, uint32_t& value)
{
    if (text.size() != 4)
        return false;
    uint32_t v = 0;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c > 0x7E)
            return false;
        v = (v << 8) | c;
    }
    value = v;
    return true;
}

} // namespace hotsync

namespace {

const char kUsage[] =
    "usage: hotsync sync --handheld DIR --folder DIR [--file NAME] [--db NAME]... [--creator ID] [--db-type ID]\n"
    "                    [--type N] [--first-sync N] [--conduit PATH] [--fail OPERATION[:N[:CODE]]]... [--json]\n"
    "       hotsync sync --user NAME --handheld DIR [--desktop ROOT] [--fail OPERATION[:N[:CODE]]]... [--json]\n"
    "       hotsync action --user NAME --creator ID\n"
    "Exit status: 0 every conduit returned 0; 1 a conduit failed (its code is printed) or a folder cannot be made;\n"
    "64 wrong usage.\n";

int Usage(const char* message)
{
    if (message)
        std::fprintf(stderr, "hotsync: %s\n", message);
    std::fputs(kUsage, stderr);
    return 64;
}

bool ParseInt(const char* s, long& out, int base = 10)
{
    if (!s || !*s)
        return false;
    char* end = nullptr;
    long v = std::strtol(s, &end, base);
    if (*end)
        return false;
    out = v;
    return true;
}

// "--fail SyncWriteRec:2:0x4001": the second write fails with that code;
// the count defaults to 1, the code to the Sync Manager's unknown error.
bool PlanFailure(const std::string& plan)
{
    std::string op = plan, nth = "1", code = "0x4001";
    size_t colon = op.find(':');
    if (colon != std::string::npos) {
        nth = op.substr(colon + 1);
        op.resize(colon);
        colon = nth.find(':');
        if (colon != std::string::npos) {
            code = nth.substr(colon + 1);
            nth.resize(colon);
        }
    }
    long n = 0, c = 0;
    return ParseInt(nth.c_str(), n) && ParseInt(code.c_str(), c, 0) && n >= 1 && n <= 0x7FFFFFFF &&
           TessalyHostFailCall(op.c_str(), static_cast<int32_t>(n), static_cast<SyncErr>(c)) == SYNCERR_NONE;
}

int SyncDirect(const std::string& handheld, const hotsync::SyncJob& job, bool json)
{
    // As the HotSync Manager does, before the conduit looks for its files.
    if (!hotsync::MakeFolders(job.folder)) {
        std::fprintf(stderr, "hotsync: cannot make the folder %s\n", job.folder.c_str());
        return 1;
    }
    if (SyncErr e = TessalyHostServeFolder(handheld.c_str())) {
        std::fprintf(stderr, "hotsync: cannot serve the handheld folder %s (%d)\n", handheld.c_str(), int(e));
        return 1;
    }
    hotsync::Report report("");
    report.Run(job);
    TessalyHostServeFolder(nullptr);
    report.Print(json);
    return report.Failed() ? 1 : 0;
}

} // namespace

#if defined(_WIN32)
int SyncUser(const std::string& user, const std::string& handheld, const std::string& root, bool json);
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
    hotsync::SyncJob job;
    bool haveFolder = false, json = false, haveDbIdentity = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
            continue;
        }
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
            job.type = static_cast<int32_t>(n);
        } else if (a == "--first-sync") {
            if (!ParseInt(value, n))
                return Usage("--first-sync takes a number");
            job.firstSync = static_cast<uint32_t>(n);
        } else if (a == "--conduit")
            job.conduit = value;
        else if (a == "--user")
            user = value;
        else if (a == "--desktop")
            desktop = value;
        else if (a == "--creator" || a == "--db-type") {
            if (!hotsync::ParseFourCC(value, a == "--creator" ? job.creator : job.dbType))
                return Usage((a + " takes four characters").c_str());
            if (a == "--creator")
                creator = value;
            haveDbIdentity = true;
        } else if (a == "--fail") {
            if (!PlanFailure(value))
                return Usage("--fail takes a Sync Manager operation, then :N and :CODE if wanted");
        } else
            return Usage(("unknown option " + a).c_str());
    }
    if (command == "sync") {
        if (handheld.empty())
            return Usage("sync needs --handheld");
        if (!user.empty()) {
            if (haveDbIdentity)
                return Usage("with --user the creator ID and type come from the Conduit Manager's registrations");
#if defined(_WIN32)
            return SyncUser(user, handheld, desktop, json);
#else
            std::fprintf(stderr, "hotsync: --user reads the Conduit Manager's registrations, kept by Windows\n");
            return 1;
#endif
        }
        if (!haveFolder)
            return Usage("sync needs --folder or --user");
        if (job.dbs.empty())
            job.dbs.push_back("Tessaly-Vqxa");
        return SyncDirect(handheld, job, json);
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
