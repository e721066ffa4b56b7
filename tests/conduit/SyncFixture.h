// A handheld folder and a desktop folder for end-to-end HotSync operations
// through the stand-ins, with a reader and writer of the desktop file format
// of the tests' own, so the conduit's files are checked against the layout
// and not against themselves.
#pragma once

#include "PdbFile.h"
#include "SyncDriver.h"
#include "TestFiles.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace synctest {

using Bytes = std::vector<std::uint8_t>;

Bytes B(const std::string& s);
std::string S(const Bytes& b);

struct DeskRecord {
    std::uint32_t id = 0;
    std::uint16_t attributes = 0;   // file bits: 1 modified, 2 deleted, 4 archived, 8 new, 0x10 private
    std::uint32_t category = 0;
    Bytes data;
};

struct DeskFile {
    std::string name = "Tessaly-Vqxa";
    bool hasAppInfo = true;
    Bytes appInfo;
    Bytes sortInfo;
    std::vector<DeskRecord> records;
};

Bytes ComposeDeskFile(const DeskFile& f);
// False when the bytes do not follow the layout exactly (nothing may follow
// the counted records).
bool ParseDeskFile(const Bytes& bytes, DeskFile& f, std::string* pWhy = nullptr);

// A category part: Unfiled (ID 0) plus the names given at indexes 1.., IDs
// from 1, then the extra bytes.
Bytes CategoryBlock(const std::vector<std::string>& names, const std::string& extra = "");

struct World {
    testsupport::TempDir dir;
    std::string Handheld() const { return dir.File("hh"); }
    std::string Desktop() const { return dir.File("pc"); }
    std::string DataFile() const { return Desktop() + "/record.dat"; }
    std::string PdbPath() const { return Handheld() + "/Tessaly-Vqxa.pdb"; }
    World();
    ~World();

    tessaly::PdbDatabase NewHandheld(const Bytes& appInfo) const;
    void PutHandheld(const tessaly::PdbDatabase& db) const;
    tessaly::PdbDatabase GetHandheld() const;
    void PutDesktop(const DeskFile& f, const std::string& file = "record.dat") const;
    DeskFile GetDesktop(const std::string& file = "record.dat") const;
    bool HasFile(const std::string& file) const;

    // Runs one operation with the engine; the log entries it wrote go to *pLog.
    LONG Sync(LONG type, std::uint32_t firstSync = 0, std::vector<std::string>* pLog = nullptr) const;
};

// "id:text:category" of each live record, sorted.
std::vector<std::string> Summary(const tessaly::PdbDatabase& db);
std::vector<std::string> Summary(const DeskFile& f);

} // namespace synctest
