#include "SyncFixture.h"

#include "HsLog.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace synctest {

namespace {

void Put32(Bytes& b, size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t Get32(const Bytes& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

} // namespace

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string S(const Bytes& b) { return std::string(b.begin(), b.end()); }

Bytes ComposeDeskFile(const DeskFile& f)
{
    Bytes out(84, 0);
    Put32(out, 0, 84);
    Put32(out, 4, 1);
    std::memcpy(&out[6], f.name.data(), std::min<size_t>(f.name.size(), 31));
    Put32(out, 44, tessaly::FourCC("Vqxa"));
    Put32(out, 48, tessaly::FourCC("DATA"));
    Put32(out, 72, static_cast<std::uint32_t>(f.records.size()));
    Put32(out, 76, static_cast<std::uint32_t>(56 + f.appInfo.size()));
    out.resize(84 + 56);   // the app-info block's header
    Put32(out, 84, static_cast<std::uint32_t>(56 + f.appInfo.size()));
    Put32(out, 88, 0x1002);
    Put32(out, 92, 56);
    std::memcpy(&out[96], f.name.data(), std::min<size_t>(f.name.size(), 31));
    Put32(out, 128, static_cast<std::uint32_t>(f.appInfo.size()));
    Put32(out, 132, static_cast<std::uint32_t>(f.appInfo.size()));
    out.insert(out.end(), f.appInfo.begin(), f.appInfo.end());
    for (const DeskRecord& r : f.records) {
        Bytes h(40, 0);
        Put32(h, 0, static_cast<std::uint32_t>(40 + r.data.size()));
        Put32(h, 4, 0x1002);
        Put32(h, 8, 40);
        Put32(h, 16, r.id);
        Put32(h, 24, r.attributes);
        Put32(h, 28, r.category);
        Put32(h, 36, static_cast<std::uint32_t>(r.data.size()));
        out.insert(out.end(), h.begin(), h.end());
        out.insert(out.end(), r.data.begin(), r.data.end());
    }
    return out;
}

bool ParseDeskFile(const Bytes& b, DeskFile& f, std::string* pWhy)
{
    auto fail = [&](const char* why) {
        if (pWhy)
            *pWhy = why;
        return false;
    };
    f = DeskFile();
    if (b.size() < 84 || Get32(b, 0) != 84 || b[4] != 1 || b[5] != 0)
        return fail("header");
    f.name = std::string(reinterpret_cast<const char*>(&b[6]), strnlen(reinterpret_cast<const char*>(&b[6]), 32));
    const std::uint32_t app = Get32(b, 76);
    size_t at = 84 + app;
    if (app && (at > b.size() || app < 56 || Get32(b, 84) != app || Get32(b, 92) != 56 ||
                (b[88] | (b[89] << 8)) != 0x1002 || Get32(b, 132) > Get32(b, 128) || 56 + Get32(b, 128) != app))
        return fail("app-info block");
    if (app)
        f.appInfo.assign(b.begin() + 140, b.begin() + 140 + Get32(b, 132));
    if (Get32(b, 80) != 0)
        return fail("sort-info block");
    const std::uint32_t count = Get32(b, 72);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (at + 40 > b.size())
            return fail("record header");
        DeskRecord r;
        std::uint32_t size = Get32(b, at);
        if (size < 40 || at + size > b.size() || Get32(b, at + 4) != 0x1002 || Get32(b, at + 8) != 40 ||
            Get32(b, at + 36) != size - 40)
            return fail("record");
        r.id = Get32(b, at + 16);
        r.attributes = static_cast<std::uint16_t>(b[at + 24] | (b[at + 25] << 8));
        r.category = Get32(b, at + 28);
        r.data.assign(b.begin() + at + 40, b.begin() + at + size);
        f.records.push_back(r);
        at += size;
    }
    if (at != b.size())
        return fail("bytes after the records");
    return true;
}

Bytes Categories(const std::vector<std::pair<std::string, int>>& cats, std::uint16_t renamed, const std::string& extra)
{
    Bytes a(276, 0);
    a[0] = static_cast<std::uint8_t>(renamed >> 8);
    a[1] = static_cast<std::uint8_t>(renamed);
    std::strcpy(reinterpret_cast<char*>(&a[2]), "Unfiled");
    for (size_t i = 0; i < cats.size() && i < 15; ++i) {
        std::memcpy(&a[2 + 16 * (i + 1)], cats[i].first.data(), std::min<size_t>(cats[i].first.size(), 15));
        a[258 + i + 1] = static_cast<std::uint8_t>(cats[i].first.empty() ? 0 : cats[i].second);
    }
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
}

Bytes CategoryBlock(const std::vector<std::string>& names, const std::string& extra)
{
    std::vector<std::pair<std::string, int>> cats;
    for (const std::string& n : names)
        cats.push_back({n, static_cast<int>(cats.size() + 1)});
    Bytes a = Categories(cats, 0, extra);
    a[274] = static_cast<std::uint8_t>(names.size());
    return a;
}

std::string Names(const Bytes& app)
{
    std::string out;
    for (int i = 1; i < 16 && app.size() >= 276; ++i) {
        const char* p = reinterpret_cast<const char*>(&app[2 + 16 * i]);
        if (*p)
            out += (out.empty() ? "" : " ") + std::to_string(i) + "=" + std::string(p, strnlen(p, 16)) + "#" +
                   std::to_string(app[258 + i]);
    }
    return out;
}

tessaly::PdbRecord Rec(std::uint32_t id, const std::string& text, unsigned category, std::uint8_t flags)
{
    tessaly::PdbRecord r;
    r.uniqueId = id;
    r.attributes = static_cast<std::uint8_t>(flags | category);
    r.data = B(text);
    return r;
}

World::World()
{
    std::filesystem::create_directories(Handheld());
    std::filesystem::create_directories(Desktop());
    TessalyHostClearFailures();
}

World::~World()
{
    TessalyHostServeFolder(nullptr);
    TessalyHostClearFailures();
}

tessaly::PdbDatabase World::NewHandheld(const Bytes& appInfo) const
{
    tessaly::PdbDatabase db;
    db.name = "Tessaly-Vqxa";
    db.creator = tessaly::FourCC("Vqxa");
    db.type = tessaly::FourCC("DATA");
    db.uniqueIdSeed = 1000;
    db.hasAppInfo = true;
    db.appInfo = appInfo;
    return db;
}

tessaly::PdbDatabase World::GetHandheld() const
{
    tessaly::PdbDatabase db;
    tessaly::ReadPdbFile(PdbPath(), db);
    return db;
}

DeskFile World::GetDesktop(const std::string& file) const
{
    DeskFile f;
    std::string why;
    if (!ParseDeskFile(testsupport::ReadBytes(Desktop() + "/" + file), f, &why))
        f.name = "DAMAGED: " + why;
    return f;
}

void World::Put(const Bytes& hhApp, const std::vector<tessaly::PdbRecord>& hh, const Bytes& pcApp,
                const std::vector<DeskRecord>& pc) const
{
    tessaly::PdbDatabase db = NewHandheld(hhApp);
    db.records = hh;
    PutHandheld(db);
    PutDesktop({pcApp, pc});
}

LONG World::Sync(LONG type, std::uint32_t firstSync, std::vector<std::string>* pLog) const
{
    TessalyHostServeFolder(Handheld().c_str());
    TessalyHostLogToFile(nullptr);
    CSyncProperties props;
    std::memset(&props, 0, sizeof props);
    props.m_SyncType = type;
    std::string folder = Desktop();
#if defined(_WIN32)
    std::replace(folder.begin(), folder.end(), '/', '\\');
#endif
    std::strncpy(props.m_PathName, folder.c_str(), sizeof props.m_PathName - 1);
    std::strcpy(props.m_LocalName, "record.dat");
    static char name[] = "Tessaly-Vqxa";
    props.m_RemoteName[0] = name;
    props.m_nRemoteCount = 1;
    props.m_Creator = tessaly::FourCC("Vqxa");
    props.m_DbType = tessaly::FourCC("DATA");
    props.m_FirstSync = firstSync;
    CSyncDriver driver(props, 3);
    LONG result = driver.Run();
    TessalyHostServeFolder(nullptr);
    if (pLog) {
        pLog->clear();
        char text[600];
        int32_t activity = 0;
        for (int i = 0; TessalyHostLogEntry(i, &activity, text, sizeof text) == 0; ++i)
            pLog->push_back(std::to_string(activity) + " " + text);
    }
    return result;
}

std::vector<std::string> Summary(const tessaly::PdbDatabase& db)
{
    std::vector<std::string> out;
    for (const auto& r : db.records)
        if (!r.IsDeleted())
            out.push_back(std::to_string(r.uniqueId) + ":" + S(r.data) + ":" + std::to_string(r.Category()) +
                          ((r.attributes & tessaly::kPdbRecSecret) ? ":p" : ""));
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> Summary(const DeskFile& f)
{
    std::vector<std::string> out;
    for (const auto& r : f.records)
        out.push_back(std::to_string(r.id) + ":" + S(r.data) + ":" + std::to_string(r.category) +
                      ((r.attributes & 0x10) ? ":p" : ""));
    std::sort(out.begin(), out.end());
    return out;
}

bool Logged(const std::vector<std::string>& log, const std::string& part)
{
    return std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

std::string SortAndJoin(std::vector<std::string> v, const char* separator)
{
    std::sort(v.begin(), v.end());
    std::string out;
    for (const auto& s : v)
        out += (out.empty() ? "" : separator) + s;
    return out;
}

} // namespace synctest
