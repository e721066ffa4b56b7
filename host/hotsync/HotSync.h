// hotsync's parts that its Windows half (the users' operations over the
// registered conduits) shares with the portable half.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace hotsync {

// What the HotSync Manager puts in the sync properties for one conduit.
struct SyncJob {
    std::string conduit;   // the conduit's path; empty: the built-in one (native) or the one beside (Windows)
    std::string folder, file;
    std::vector<std::string> dbs;
    int32_t type = 0;
    uint32_t firstSync = 0;
    uint32_t creator = 0x56717861;   // 'Vqxa'
    uint32_t dbType = 0x44415441;    // 'DATA'
};

// The HotSync log of one operation, as the HotSync Manager shows it to a
// person, or for scripts as JSON.
class Report {
public:
    explicit Report(const std::string& user);
    // Runs one conduit, collecting the entries it logs and its result.
    void Run(const SyncJob& job);
    bool Failed() const;
    void Print(bool json) const;

private:
    struct Entry {
        int32_t activity;
        std::string text;
    };
    struct Conduit {
        std::string name;
        int32_t result;
        bool loaded;
        std::vector<Entry> entries;
    };
    std::string m_user;
    std::time_t m_started;
    std::vector<Conduit> m_conduits;
};

// Makes the folder and those above it that are missing; false when one
// cannot be made (or a file is in the way).
bool MakeFolders(const std::string& path);

// A creator ID or database type: four characters, the first in the high byte.
bool ParseFourCC(const std::string& text, uint32_t& value);

} // namespace hotsync
