// A handheld folder and a desktop folder for end-to-end HotSync operations
// through the stand-ins, with a reader and writer of the desktop file format
// of the tests' own, so the conduit's files are checked against the layout
// and not against themselves.
#pragma once

#include "PdbFile.h"
#include "SyncDriver.h"
#include "TestFiles.h"

#include <cstdint>
#include <string>
#include <utility>
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
    Bytes appInfo;
    std::vector<DeskRecord> records;
    std::string name = "Tessaly-Vqxa";
};

Bytes ComposeDeskFile(const DeskFile& f);
// False when the bytes do not follow the layout exactly (no sort-info block,
// nothing after the counted records).
bool ParseDeskFile(const Bytes& bytes, DeskFile& f, std::string* pWhy = nullptr);

// A category part: Unfiled (ID 0), then names at indexes 1.. with the IDs
// given (an empty name leaves its index free), then the extra bytes.
Bytes Categories(const std::vector<std::pair<std::string, int>>& cats, std::uint16_t renamed = 0,
                 const std::string& extra = "");
// The same with IDs from 1 and the last unique ID set.
Bytes CategoryBlock(const std::vector<std::string>& names, const std::string& extra = "");
// "index=name#id" of each named category after Unfiled, joined by spaces.
std::string Names(const Bytes& appInfo);

// A handheld record; flags are .pdb attribute bits (0x80 deleted, 0x40 dirty, 0x10 secret).
tessaly::PdbRecord Rec(std::uint32_t id, const std::string& text, unsigned category, std::uint8_t flags = 0);

struct World {
    testsupport::TempDir dir;
    std::string Handheld() const { return dir.File("hh"); }
    std::string Desktop() const { return dir.File("pc"); }
    std::string DataFile() const { return Desktop() + "/record.dat"; }
    std::string PdbPath() const { return Handheld() + "/Tessaly-Vqxa.pdb"; }
    World();
    ~World();

    tessaly::PdbDatabase NewHandheld(const Bytes& appInfo) const;
    void PutHandheld(const tessaly::PdbDatabase& db) const { tessaly::WritePdbFile(PdbPath(), db); }
    tessaly::PdbDatabase GetHandheld() const;
    void PutDesktop(const DeskFile& f, const std::string& file = "record.dat") const
    {
        testsupport::WriteBytes(Desktop() + "/" + file, ComposeDeskFile(f));
    }
    // A damaged (or missing) file comes back without records, named "DAMAGED: why".
    DeskFile GetDesktop(const std::string& file = "record.dat") const;
    bool HasFile(const std::string& file) const { return testsupport::FileExists(Desktop() + "/" + file); }
    // Both sides at once.
    void Put(const Bytes& hhApp, const std::vector<tessaly::PdbRecord>& hh, const Bytes& pcApp,
             const std::vector<DeskRecord>& pc) const;

    // Runs one operation with the engine; the log entries it wrote go to *pLog.
    LONG Sync(LONG type, std::uint32_t firstSync = 0, std::vector<std::string>* pLog = nullptr) const;
};

// "id:text:category" of each live record, sorted.
std::vector<std::string> Summary(const tessaly::PdbDatabase& db);
std::vector<std::string> Summary(const DeskFile& f);

bool Logged(const std::vector<std::string>& log, const std::string& part);
std::string SortAndJoin(std::vector<std::string> v, const char* separator = " ");

} // namespace synctest
