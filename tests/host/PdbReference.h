// A second reader and writer of Palm database files, written for the tests
// from the format description alone, so that the stand-in's files are
// checked by code that does not share its mistakes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ref {

struct Record {
    std::uint8_t attr = 0;       // 0x80 deleted, 0x40 dirty, 0x10 private, low nibble category
    std::uint32_t id = 0;        // 3 bytes in the file
    std::vector<std::uint8_t> data;
};

struct Database {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t version = 0;
    std::uint32_t created = 0, modified = 0, backedUp = 0, modNumber = 0;
    std::string type, creator;   // four characters each
    std::uint32_t seed = 0;
    bool hasAppInfo = false, hasSortInfo = false;
    std::vector<std::uint8_t> appInfo, sortInfo;
    std::vector<Record> records;
};

// False when the bytes are not a record database this reader understands.
bool Read(const std::vector<std::uint8_t>& file, Database& db, std::string& why);
// Lays the sections out in the usual order (app-info, sort-info, records),
// with no gap after the record list.
std::vector<std::uint8_t> Write(const Database& db);

} // namespace ref
