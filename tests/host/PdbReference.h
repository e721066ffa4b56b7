// A second reader and writer of Palm database files, written for the tests
// from the format description alone, so that the stand-in's files are
// checked by code that does not share its mistakes. The writer lays the
// sections out in the usual order (app-info, sort-info, records) with no gap
// after the record list; an empty block counts as no block.
#pragma once

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace ref {

using Bytes = std::vector<std::uint8_t>;

struct Record {
    std::uint8_t attr = 0;   // 0x80 deleted, 0x40 dirty, 0x10 private, low nibble category
    std::uint32_t id = 0;    // 3 bytes in the file
    Bytes data;
};

struct Database {
    std::string name, type = "DATA", creator = "Vqxa";   // type and creator: four characters
    std::uint16_t flags = 0, version = 0;
    std::uint32_t modNumber = 0, seed = 0;
    Bytes appInfo, sortInfo;
    std::vector<Record> records;
};

inline std::uint32_t GetBE(const Bytes& b, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | b.at(at + i);
    return v;
}

inline void PutBE(Bytes& b, std::size_t at, std::uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, v >>= 8)
        b.at(at + i) = static_cast<std::uint8_t>(v);
}

// Throws when the bytes are not a record database this reader understands.
inline Database Read(const Bytes& f)
{
    if (f.size() < 78 || GetBE(f, 72, 4) != 0 || (GetBE(f, 32, 2) & 1) || 78 + 8 * GetBE(f, 76, 2) > f.size())
        throw std::runtime_error("short, chained, of resources, or with a record list past the end");
    Database db;
    db.name.assign(f.begin(), std::find(f.begin(), f.begin() + 32, 0));
    db.flags = static_cast<std::uint16_t>(GetBE(f, 32, 2));
    db.version = static_cast<std::uint16_t>(GetBE(f, 34, 2));
    db.modNumber = GetBE(f, 48, 4);
    db.type.assign(f.begin() + 60, f.begin() + 64);
    db.creator.assign(f.begin() + 64, f.begin() + 68);
    db.seed = GetBE(f, 68, 4);
    const std::size_t n = GetBE(f, 76, 2);
    db.records.resize(n);
    // Each section runs from its offset to the next one's, the last to the end.
    std::vector<std::pair<std::uint32_t, Bytes*>> sections;
    for (std::size_t at : {52, 56})
        if (GetBE(f, at, 4))
            sections.push_back({GetBE(f, at, 4), at == 52 ? &db.appInfo : &db.sortInfo});
    for (std::size_t i = 0; i < n; ++i) {
        db.records[i].attr = f[78 + 8 * i + 4];
        db.records[i].id = GetBE(f, 78 + 8 * i + 5, 3);
        sections.push_back({GetBE(f, 78 + 8 * i, 4), &db.records[i].data});
    }
    sections.push_back({static_cast<std::uint32_t>(f.size()), nullptr});
    for (std::size_t i = 0; i + 1 < sections.size(); ++i) {
        if (sections[i].first < 78 + 8 * n || sections[i].first > sections[i + 1].first)
            throw std::runtime_error("section offsets out of order");
        sections[i].second->assign(f.begin() + sections[i].first, f.begin() + sections[i + 1].first);
    }
    return db;
}

inline Bytes Write(const Database& db)
{
    const std::size_t n = db.records.size();
    Bytes f(78 + 8 * n, 0);
    db.name.copy(reinterpret_cast<char*>(&f[0]), 31);
    PutBE(f, 32, db.flags, 2);
    PutBE(f, 34, db.version, 2);
    PutBE(f, 48, db.modNumber, 4);
    db.type.copy(reinterpret_cast<char*>(&f[60]), 4);
    db.creator.copy(reinterpret_cast<char*>(&f[64]), 4);
    PutBE(f, 68, db.seed, 4);
    PutBE(f, 76, static_cast<std::uint32_t>(n), 2);
    auto append = [&f](std::size_t offsetAt, const Bytes& section) {
        PutBE(f, offsetAt, static_cast<std::uint32_t>(f.size()), 4);
        f.insert(f.end(), section.begin(), section.end());
    };
    if (!db.appInfo.empty())
        append(52, db.appInfo);
    if (!db.sortInfo.empty())
        append(56, db.sortInfo);
    for (std::size_t i = 0; i < n; ++i) {
        f[78 + 8 * i + 4] = db.records[i].attr;
        PutBE(f, 78 + 8 * i + 5, db.records[i].id, 3);
        append(78 + 8 * i, db.records[i].data);
    }
    return f;
}

} // namespace ref
