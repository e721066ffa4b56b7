#include "PdbReference.h"

namespace ref {

namespace {
std::uint32_t BE(const std::vector<std::uint8_t>& b, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | b.at(at + i);
    return v;
}
void PutBE(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, v >>= 8)
        b.at(at + i) = static_cast<std::uint8_t>(v & 0xFF);
}
} // namespace

bool Read(const std::vector<std::uint8_t>& f, Database& db, std::string& why)
{
    db = Database();
    if (f.size() < 78) {
        why = "shorter than the header";
        return false;
    }
    for (int i = 0; i < 32 && f[i]; ++i)
        db.name += static_cast<char>(f[i]);
    db.flags = static_cast<std::uint16_t>(BE(f, 32, 2));
    db.version = static_cast<std::uint16_t>(BE(f, 34, 2));
    db.created = BE(f, 36, 4);
    db.modified = BE(f, 40, 4);
    db.backedUp = BE(f, 44, 4);
    db.modNumber = BE(f, 48, 4);
    std::uint32_t appInfo = BE(f, 52, 4), sortInfo = BE(f, 56, 4);
    db.type.assign(f.begin() + 60, f.begin() + 64);
    db.creator.assign(f.begin() + 64, f.begin() + 68);
    db.seed = BE(f, 68, 4);
    if (BE(f, 72, 4) != 0) {
        why = "chained record list";
        return false;
    }
    std::size_t n = BE(f, 76, 2);
    if (db.flags & 1) {
        why = "resource database";
        return false;
    }
    if (78 + 8 * n > f.size()) {
        why = "record list runs past the end";
        return false;
    }
    std::vector<std::uint32_t> starts;
    if (appInfo)
        starts.push_back(appInfo);
    if (sortInfo)
        starts.push_back(sortInfo);
    for (std::size_t i = 0; i < n; ++i) {
        Record r;
        starts.push_back(BE(f, 78 + 8 * i, 4));
        r.attr = f[78 + 8 * i + 4];
        r.id = BE(f, 78 + 8 * i + 5, 3);
        db.records.push_back(r);
    }
    starts.push_back(static_cast<std::uint32_t>(f.size()));
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        if (starts[i] < 78 + 8 * n || starts[i] > starts[i + 1]) {
            why = "section offsets out of order";
            return false;
        }
    }
    std::size_t k = 0;
    auto take = [&](std::vector<std::uint8_t>& out) {
        out.assign(f.begin() + starts[k], f.begin() + starts[k + 1]);
        ++k;
    };
    if (appInfo) {
        db.hasAppInfo = true;
        take(db.appInfo);
    }
    if (sortInfo) {
        db.hasSortInfo = true;
        take(db.sortInfo);
    }
    for (Record& r : db.records)
        take(r.data);
    return true;
}

std::vector<std::uint8_t> Write(const Database& db)
{
    const std::size_t n = db.records.size();
    std::vector<std::uint8_t> f(78 + 8 * n, 0);
    for (std::size_t i = 0; i < db.name.size() && i < 31; ++i)
        f[i] = static_cast<std::uint8_t>(db.name[i]);
    PutBE(f, 32, db.flags, 2);
    PutBE(f, 34, db.version, 2);
    PutBE(f, 36, db.created, 4);
    PutBE(f, 40, db.modified, 4);
    PutBE(f, 44, db.backedUp, 4);
    PutBE(f, 48, db.modNumber, 4);
    for (int i = 0; i < 4; ++i) {
        f[60 + i] = i < static_cast<int>(db.type.size()) ? static_cast<std::uint8_t>(db.type[i]) : 0;
        f[64 + i] = i < static_cast<int>(db.creator.size()) ? static_cast<std::uint8_t>(db.creator[i]) : 0;
    }
    PutBE(f, 68, db.seed, 4);
    PutBE(f, 76, static_cast<std::uint32_t>(n), 2);
    if (db.hasAppInfo) {
        PutBE(f, 52, static_cast<std::uint32_t>(f.size()), 4);
        f.insert(f.end(), db.appInfo.begin(), db.appInfo.end());
    }
    if (db.hasSortInfo) {
        PutBE(f, 56, static_cast<std::uint32_t>(f.size()), 4);
        f.insert(f.end(), db.sortInfo.begin(), db.sortInfo.end());
    }
    for (std::size_t i = 0; i < n; ++i) {
        PutBE(f, 78 + 8 * i, static_cast<std::uint32_t>(f.size()), 4);
        f[78 + 8 * i + 4] = db.records[i].attr;
        PutBE(f, 78 + 8 * i + 5, db.records[i].id, 3);
        f.insert(f.end(), db.records[i].data.begin(), db.records[i].data.end());
    }
    return f;
}

} // namespace ref
