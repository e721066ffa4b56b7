// The Sync Manager stand-in: a handheld simulated by a folder of Palm
// database files. Each open database is held in memory; every change is
// written to its file (new file, then replace) before the call returns, and
// a change whose file cannot be written is undone, so memory and file agree.
#include "SyncMgr.h"

#include "PdbFile.h"

#include "afx/afxfile.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

using namespace tessaly;

namespace {

struct OpenDb {
    std::string path;
    PdbDatabase db;
    std::uint8_t mode = 0;
    std::size_t nextModified = 0;     // cursor of ordinal 37
    std::size_t nextInCategory = 0;   // cursor of SyncReadNextRecInCategory
    int cursorCategory = -1;
    std::unordered_map<std::uint32_t, std::size_t> byId;   // unique ID -> index
    bool byIdValid = false;
    bool unsaved = false;             // changes held back by TessalyHostDeferWrites

    void IndexIds()
    {
        if (byIdValid)
            return;
        byId.clear();
        byId.reserve(db.records.size() * 2);
        // The first record with an ID wins, as a scan from the front would.
        for (std::size_t i = 0; i < db.records.size(); ++i)
            byId.emplace(db.records[i].uniqueId, i);
        byIdValid = true;
    }
    long Find(std::uint32_t id)
    {
        IndexIds();
        auto it = byId.find(id);
        return it == byId.end() ? -1 : static_cast<long>(it->second);
    }
};

struct State {
    std::string folder;
    bool serving = false;
    bool registered = false;
    SyncConduitHandle conduit = 0;
    SyncConduitHandle nextConduit = 1;
    std::unique_ptr<OpenDb> open[256];   // by handle; 0 unused
    struct Failure {
        int remaining;
        SyncErr code;
    };
    std::map<std::string, std::vector<Failure>> failures;
    bool deferWrites = false;
};

State& S()
{
    static State s;
    return s;
}

const char* const kOperations[] = {
    "SyncReadSystemInfo", "SyncGetDBRecordCount", "SyncChangeCategory", "SyncPurgeAllRecsInCategory",
    "SyncDeleteResourceRec", "SyncReadNextRecInCategory", "SyncReadDBSortInfoBlock", "SyncReadPositionXMap",
    "SyncRegisterConduit", "SyncUnRegisterConduit", "SyncOpenDB", "SyncCreateDB", "SyncCloseDB", "SyncDeleteDB",
    "SyncResetSyncFlags", "SyncWriteRec", "SyncDeleteRec", "SyncReadRecordById", "SyncReadRecordByIndex",
    "SyncReadNextModifiedRec", "SyncReadDBAppInfoBlock", "SyncWriteDBAppInfoBlock", "SyncPurgeDeletedRecs",
    "SyncWriteResourceRec"};

// A failure planned by TessalyHostFailCall for this call, or 0.
SyncErr Injected(const char* op)
{
    auto it = S().failures.find(op);
    if (it == S().failures.end())
        return 0;
    SyncErr code = 0;
    auto& list = it->second;
    for (auto f = list.begin(); f != list.end();) {
        if (--f->remaining == 0) {
            if (code == 0)
                code = f->code;
            f = list.erase(f);
        } else {
            ++f;
        }
    }
    return code;
}

#define INJECT(op)                     \
    do {                               \
        if (SyncErr e_ = Injected(op)) \
            return e_;                 \
    } while (0)

PdbDatabase& Draft(OpenDb& o, PdbDatabase& scratch)
{
    if (S().deferWrites)
        return o.db;
    scratch = o.db;
    return scratch;
}

SyncErr FromPdb(PdbResult r);

// Writes what deferred changes an open database holds.
SyncErr Flush(OpenDb& o)
{
    if (!o.unsaved)
        return SYNCERR_NONE;
    o.unsaved = false;
    o.db.modDate = PalmNow();
    return FromPdb(WritePdbFile(o.path, o.db));
}

OpenDb* Db(SyncDbHandle h) { return h ? S().open[h].get() : nullptr; }

// Database names may hold characters a file name cannot; those become %XX.
std::string FileBase(const char* name)
{
    std::string out;
    for (const char* p = name; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || std::strchr("\\/:*?\"<>|%", c) || (c == '.' && p == name)) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string PathFor(const char* name, bool resource)
{
    std::string dir = S().folder;
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\')
        dir += '/';
    return dir + FileBase(name) + (resource ? ".prc" : ".pdb");
}

// The file of a database that exists, or "".
std::string ExistingPath(const char* name)
{
    for (bool resource : {false, true}) {
        std::string p = PathFor(name, resource);
        if (CFile::Exists(p.c_str()))
            return p;
    }
    return std::string();
}

bool ValidName(const char* name) { return name && *name && std::strlen(name) <= 31; }

SyncErr FromPdb(PdbResult r)
{
    switch (r) {
    case PdbResult::OK: return SYNCERR_NONE;
    case PdbResult::NotFound: return SYNCERR_NOT_FOUND;
    case PdbResult::Damaged: return SYNCERR_DAMAGED;
    default: return SYNCERR_FILE;
    }
}

// Stores a changed copy of the database; on failure the open database stays as it was.
// The database a change is made on: a copy that Commit stores, or, while
// writes are deferred, the open database itself.
PdbDatabase& Draft(OpenDb& o, PdbDatabase& scratch);

SyncErr Commit(OpenDb& o, PdbDatabase& changed, bool idsMoved)
{
    if (&changed == &o.db) {
        ++o.db.modNumber;
        o.unsaved = true;
        if (idsMoved)
            o.byIdValid = false;
        return SYNCERR_NONE;
    }
    changed.modNumber = o.db.modNumber + 1;
    changed.modDate = PalmNow();
    if (SyncErr e = FromPdb(WritePdbFile(o.path, changed)))
        return e;
    o.db = std::move(changed);
    if (idsMoved)
        o.byIdValid = false;
    return SYNCERR_NONE;
}

SyncErr Writable(SyncDbHandle h, OpenDb*& o)
{
    o = Db(h);
    if (!o)
        return SYNCERR_BAD_HANDLE;
    if (!(o->mode & SYNC_MODE_WRITE))
        return SYNCERR_READ_ONLY;
    return SYNCERR_NONE;
}

// Fills a raw record from a stored one; the data must fit the caller's buffer.
SyncErr ToRaw(const OpenDb& o, std::size_t index, SyncRawRecord* pRec)
{
    const PdbRecord& r = o.db.records[index];
    pRec->recordIndex = static_cast<std::uint16_t>(index);
    std::uint8_t a = 0;
    if (o.db.IsResource()) {
        pRec->recordId = r.resourceId;
        pRec->resourceType = r.resourceType;
        pRec->category = 0;
    } else {
        pRec->recordId = r.uniqueId;
        if (r.IsDeleted())
            a |= SYNC_REC_DELETED;
        if (r.IsArchived())
            a |= SYNC_REC_ARCHIVED;
        if (r.IsDirty())
            a |= SYNC_REC_DIRTY;
        if (r.attributes & kPdbRecSecret)
            a |= SYNC_REC_PRIVATE;
        pRec->category = static_cast<std::int16_t>(r.Category());
    }
    pRec->attributes = a;
    pRec->dataLength = static_cast<std::uint32_t>(r.data.size());
    if (r.data.empty())
        return SYNCERR_NONE;
    if (!pRec->pData || pRec->bufferSize < r.data.size())
        return SYNCERR_BUFFER_TOO_SMALL;
    std::memcpy(pRec->pData, r.data.data(), r.data.size());
    return SYNCERR_NONE;
}

SyncErr ReadAt(SyncRawRecord* pRec, long index)
{
    OpenDb* o = Db(pRec->dbHandle);
    if (!o)
        return SYNCERR_BAD_HANDLE;
    if (index < 0 || static_cast<std::size_t>(index) >= o->db.records.size())
        return SYNCERR_NOT_FOUND;
    return ToRaw(*o, static_cast<std::size_t>(index), pRec);
}

// The data a raw record carries, checked: a length beyond the buffer the
// caller lends would have us read past it.
SyncErr RawData(const SyncRawRecord* pRec, std::vector<std::uint8_t>& data)
{
    if (pRec->dataLength > pRec->bufferSize || (pRec->dataLength && !pRec->pData))
        return SYNCERR_BAD_ARGUMENT;
    data.assign(pRec->pData, pRec->pData + pRec->dataLength);
    return SYNCERR_NONE;
}

// A unique ID below 2^24 that no record of the database has.
SyncErr NewUniqueId(OpenDb& o, PdbDatabase& changed, std::uint32_t& id)
{
    std::uint32_t seed = changed.uniqueIdSeed;
    for (std::uint32_t tries = 0; tries < kPdbMaxUniqueId; ++tries, ++seed) {
        if (seed == 0 || seed > kPdbMaxUniqueId)
            seed = 1;
        if (o.Find(seed) < 0) {
            id = seed;
            changed.uniqueIdSeed = seed + 1;
            return SYNCERR_NONE;
        }
    }
    return SYNCERR_FULL;
}

} // namespace

extern "C" {

SyncErr SYNC_CALL TessalyHostServeFolder(const char* pszFolder)
{
    State& s = S();
    for (auto& o : s.open) {
        if (o)
            Flush(*o);
        o.reset();
    }
    s.registered = false;
    s.serving = pszFolder && *pszFolder;
    s.folder = s.serving ? pszFolder : "";
    return SYNCERR_NONE;
}

SyncErr SYNC_CALL TessalyHostDeferWrites(int32_t on)
{
    S().deferWrites = on != 0;
    return SYNCERR_NONE;
}

SyncErr SYNC_CALL TessalyHostFailCall(const char* pszOperation, int32_t nth, SyncErr code)
{
    if (!pszOperation || nth < 1 || code == 0)
        return SYNCERR_BAD_ARGUMENT;
    for (const char* op : kOperations) {
        if (std::strcmp(op, pszOperation) == 0) {
            S().failures[op].push_back({nth, code});
            return SYNCERR_NONE;
        }
    }
    return SYNCERR_BAD_ARGUMENT;
}

void SYNC_CALL TessalyHostClearFailures(void) { S().failures.clear(); }

SyncErr SYNC_CALL SyncReadSystemInfo(SyncSystemInfo* pInfo)
{
    INJECT("SyncReadSystemInfo");
    if (!pInfo)
        return SYNCERR_BAD_ARGUMENT;
    if (!S().serving)
        return SYNCERR_NO_HANDHELD;
    std::memset(pInfo, 0, sizeof *pInfo);
    pInfo->romVersion = 0x03503000;   // 3.5, release
    static const char kProduct[] = "Tessaly handheld folder";
    pInfo->productIdLength = sizeof kProduct - 1;
    std::memcpy(pInfo->productId, kProduct, sizeof kProduct - 1);
    return SYNCERR_NONE;
}

SyncErr SYNC_CALL SyncRegisterConduit(SyncConduitHandle* pHandle)
{
    INJECT("SyncRegisterConduit");
    if (!pHandle)
        return SYNCERR_BAD_ARGUMENT;
    State& s = S();
    if (!s.serving)
        return SYNCERR_NO_HANDHELD;
    s.registered = true;
    s.conduit = s.nextConduit++;
    *pHandle = s.conduit;
    return SYNCERR_NONE;
}

SyncErr SYNC_CALL SyncUnRegisterConduit(SyncConduitHandle handle)
{
    INJECT("SyncUnRegisterConduit");
    State& s = S();
    if (!s.registered || handle != s.conduit)
        return SYNCERR_BAD_HANDLE;
    s.registered = false;
    return SYNCERR_NONE;
}

SyncErr SYNC_CALL SyncOpenDB(const char* pszName, int32_t cardNo, SyncDbHandle* pHandle, uint8_t mode)
{
    INJECT("SyncOpenDB");
    State& s = S();
    if (!pHandle || !ValidName(pszName) || !(mode & SYNC_MODE_READ_WRITE))
        return SYNCERR_BAD_ARGUMENT;
    *pHandle = 0;
    if (!s.serving)
        return SYNCERR_NO_HANDHELD;
    if (cardNo != 0)
        return SYNCERR_NOT_FOUND;
    std::string path = ExistingPath(pszName);
    if (path.empty())
        return SYNCERR_NOT_FOUND;
    int free = 0;
    for (int h = 1; h < 256; ++h) {
        if (s.open[h] && s.open[h]->path == path)
            return SYNCERR_TOO_MANY_OPEN;   // one handle per database
        if (!s.open[h] && !free)
            free = h;
    }
    if (!free)
        return SYNCERR_TOO_MANY_OPEN;
    auto o = std::make_unique<OpenDb>();
    o->path = path;
    o->mode = mode;
    if (SyncErr e = FromPdb(ReadPdbFile(path, o->db)))
        return e;
    s.open[free] = std::move(o);
    *pHandle = static_cast<SyncDbHandle>(free);
    return SYNCERR_NONE;
}

SyncErr SYNC_CALL SyncCreateDB(SyncCreateDbRequest* pRequest)
{
    INJECT("SyncCreateDB");
    State& s = S();
    if (!pRequest)
        return SYNCERR_BAD_ARGUMENT;
    pRequest->dbHandle = 0;
    char name[33] = {0};
    std::memcpy(name, pRequest->name, 32);
    if (!ValidName(name) || (pRequest->dbFlags >> 16) != 0)
        return SYNCERR_BAD_ARGUMENT;
    if (!s.serving)
        return SYNCERR_NO_HANDHELD;
    if (pRequest->cardNo != 0)
        return SYNCERR_NOT_FOUND;
    if (!ExistingPath(name).empty())
        return SYNCERR_EXISTS;
    int free = 0;
    for (int h = 1; h < 256 && !free; ++h)
        if (!s.open[h])
            free = h;
    if (!free)
        return SYNCERR_TOO_MANY_OPEN;
    auto o = std::make_unique<OpenDb>();
    o->mode = SYNC_MODE_READ_WRITE;
    o->db.name = name;
    o->db.attributes = static_cast<std::uint16_t>(pRequest->dbFlags);
    o->db.version = pRequest->version;
    o->db.type = pRequest->dbType;
    o->db.creator = pRequest->creator;
    o->db.createDate = o->db.modDate = PalmNow();
    o->db.uniqueIdSeed = 1;
    o->path = PathFor(name, o->db.IsResource());
    if (SyncErr e = FromPdb(WritePdbFile(o->path, o->db)))
        return e;
    s.open[free] = std::move(o);
    pRequest->dbHandle = static_cast<SyncDbHandle>(free);
    return SYNCERR_NONE;
}

SyncErr SYNC_CALL SyncCloseDB(SyncDbHandle hDb)
{
    INJECT("SyncCloseDB");
    if (!Db(hDb))
        return SYNCERR_BAD_HANDLE;
    SyncErr e = Flush(*S().open[hDb]);
    S().open[hDb].reset();
    return e;
}

SyncErr SYNC_CALL SyncDeleteDB(const char* pszName, int32_t cardNo)
{
    INJECT("SyncDeleteDB");
    State& s = S();
    if (!ValidName(pszName))
        return SYNCERR_BAD_ARGUMENT;
    if (!s.serving)
        return SYNCERR_NO_HANDHELD;
    std::string path = cardNo == 0 ? ExistingPath(pszName) : std::string();
    if (path.empty())
        return SYNCERR_NOT_FOUND;
    for (int h = 1; h < 256; ++h)
        if (s.open[h] && s.open[h]->path == path)
            return SYNCERR_TOO_MANY_OPEN;
    return CFile::Remove(path.c_str()) ? SYNCERR_NONE : SYNCERR_FILE;
}

SyncErr SYNC_CALL SyncGetDBRecordCount(SyncDbHandle hDb, uint16_t* pCount)
{
    INJECT("SyncGetDBRecordCount");
    OpenDb* o = Db(hDb);
    if (!o)
        return SYNCERR_BAD_HANDLE;
    if (!pCount)
        return SYNCERR_BAD_ARGUMENT;
    *pCount = static_cast<std::uint16_t>(o->db.records.size());
    return SYNCERR_NONE;
}

SyncErr SYNC_CALL SyncResetSyncFlags(SyncDbHandle hDb)
{
    INJECT("SyncResetSyncFlags");
    OpenDb* o;
    if (SyncErr e = Writable(hDb, o))
        return e;
    PdbDatabase scratch;
    PdbDatabase& changed = Draft(*o, scratch);
    for (PdbRecord& r : changed.records)
        r.attributes &= static_cast<std::uint8_t>(~kPdbRecDirty);
    changed.backupDate = PalmNow();
    return Commit(*o, changed, false);
}

SyncErr SYNC_CALL SyncWriteRec(SyncRawRecord* pRec)
{
    INJECT("SyncWriteRec");
    if (!pRec)
        return SYNCERR_BAD_ARGUMENT;
    OpenDb* o;
    if (SyncErr e = Writable(pRec->dbHandle, o))
        return e;
    if (o->db.IsResource())
        return SYNCERR_WRONG_KIND;
    if (pRec->category < 0 || pRec->category > 15 || pRec->recordId > kPdbMaxUniqueId)
        return SYNCERR_BAD_ARGUMENT;
    PdbRecord r;
    if (SyncErr e = RawData(pRec, r.data))
        return e;
    const bool deleted = (pRec->attributes & (SYNC_REC_DELETED | SYNC_REC_ARCHIVED)) != 0;
    r.attributes = static_cast<std::uint8_t>(pRec->category);
    if (deleted)
        r.attributes |= kPdbRecDeleted;
    if (pRec->attributes & SYNC_REC_DIRTY)
        r.attributes |= kPdbRecDirty;
    if (pRec->attributes & SYNC_REC_PRIVATE)
        r.attributes |= kPdbRecSecret;
    // Only an archived record keeps data once deleted.
    if (deleted && !(pRec->attributes & SYNC_REC_ARCHIVED))
        r.data.clear();

    PdbDatabase scratch;
    PdbDatabase& changed = Draft(*o, scratch);
    long index = pRec->recordId ? o->Find(pRec->recordId) : -1;
    bool appended = index < 0;
    if (appended) {
        if (changed.records.size() >= kPdbMaxRecords)
            return SYNCERR_FULL;
        r.uniqueId = pRec->recordId;
        if (!r.uniqueId) {
            if (SyncErr e = NewUniqueId(*o, changed, r.uniqueId))
                return e;
        }
        index = static_cast<long>(changed.records.size());
        changed.records.push_back(std::move(r));
    } else {
        r.uniqueId = pRec->recordId;
        changed.records[index] = std::move(r);
    }
    std::uint32_t id = changed.records[index].uniqueId;
    if (SyncErr e = Commit(*o, changed, false))
        return e;
    if (appended && o->byIdValid)
        o->byId.emplace(id, static_cast<std::size_t>(index));
    pRec->recordId = id;
    pRec->recordIndex = static_cast<std::uint16_t>(index);
    return SYNCERR_NONE;
}

SyncErr SYNC_CALL SyncWriteResourceRec(SyncRawRecord* pRec)
{
    INJECT("SyncWriteResourceRec");
    if (!pRec)
        return SYNCERR_BAD_ARGUMENT;
    OpenDb* o;
    if (SyncErr e = Writable(pRec->dbHandle, o))
        return e;
    if (!o->db.IsResource())
        return SYNCERR_WRONG_KIND;
    if (pRec->recordId > 0xFFFF)
        return SYNCERR_BAD_ARGUMENT;
    PdbRecord r;
    if (SyncErr e = RawData(pRec, r.data))
        return e;
    r.resourceType = pRec->resourceType;
    r.resourceId = static_cast<std::uint16_t>(pRec->recordId);
    PdbDatabase scratch;
    PdbDatabase& changed = Draft(*o, scratch);
    std::size_t index = 0;
    while (index < changed.records.size() &&
           (changed.records[index].resourceType != r.resourceType || changed.records[index].resourceId != r.resourceId))
        ++index;
    if (index == changed.records.size()) {
        if (index >= kPdbMaxRecords)
            return SYNCERR_FULL;
        changed.records.push_back(std::move(r));
    } else {
        changed.records[index] = std::move(r);
    }
    if (SyncErr e = Commit(*o, changed, true))
        return e;
    pRec->recordIndex = static_cast<std::uint16_t>(index);
    return SYNCERR_NONE;
}

} // extern "C"

namespace {

// Removes the records that keep() refuses; the cursors follow the records they pointed at.
template <class Keep>
SyncErr RemoveWhere(OpenDb& o, Keep keep)
{
    PdbDatabase scratch;
    PdbDatabase& changed = Draft(o, scratch);
    std::vector<PdbRecord> kept;
    kept.reserve(changed.records.size());
    std::size_t nextModified = o.nextModified, nextInCategory = o.nextInCategory;
    for (std::size_t i = 0; i < changed.records.size(); ++i) {
        if (keep(changed.records[i])) {
            kept.push_back(std::move(changed.records[i]));
        } else {
            if (i < o.nextModified)
                --nextModified;
            if (i < o.nextInCategory)
                --nextInCategory;
        }
    }
    if (kept.size() == changed.records.size())
        return SYNCERR_NONE;
    changed.records.swap(kept);
    if (SyncErr e = Commit(o, changed, true))
        return e;
    o.nextModified = nextModified;
    o.nextInCategory = nextInCategory;
    return SYNCERR_NONE;
}

} // namespace

extern "C" {

SyncErr SYNC_CALL SyncDeleteRec(SyncRawRecord* pRec)
{
    INJECT("SyncDeleteRec");
    if (!pRec)
        return SYNCERR_BAD_ARGUMENT;
    OpenDb* o;
    if (SyncErr e = Writable(pRec->dbHandle, o))
        return e;
    if (o->db.IsResource())
        return SYNCERR_WRONG_KIND;
    long index = o->Find(pRec->recordId);
    if (index < 0)
        return SYNCERR_NOT_FOUND;
    std::size_t i = 0;
    return RemoveWhere(*o, [&](const PdbRecord&) { return i++ != static_cast<std::size_t>(index); });
}

SyncErr SYNC_CALL SyncDeleteResourceRec(SyncRawRecord* pRec)
{
    INJECT("SyncDeleteResourceRec");
    if (!pRec)
        return SYNCERR_BAD_ARGUMENT;
    OpenDb* o;
    if (SyncErr e = Writable(pRec->dbHandle, o))
        return e;
    if (!o->db.IsResource())
        return SYNCERR_WRONG_KIND;
    std::size_t before = o->db.records.size();
    SyncErr e = RemoveWhere(*o, [&](const PdbRecord& r) {
        return r.resourceType != pRec->resourceType || r.resourceId != pRec->recordId;
    });
    if (e)
        return e;
    return o->db.records.size() == before ? SYNCERR_NOT_FOUND : SYNCERR_NONE;
}

SyncErr SYNC_CALL SyncPurgeDeletedRecs(SyncDbHandle hDb)
{
    INJECT("SyncPurgeDeletedRecs");
    OpenDb* o;
    if (SyncErr e = Writable(hDb, o))
        return e;
    return RemoveWhere(*o, [](const PdbRecord& r) { return !r.IsDeleted(); });
}

SyncErr SYNC_CALL SyncPurgeAllRecsInCategory(SyncDbHandle hDb, int16_t category)
{
    INJECT("SyncPurgeAllRecsInCategory");
    OpenDb* o;
    if (SyncErr e = Writable(hDb, o))
        return e;
    if (category < 0 || category > 15 || o->db.IsResource())
        return SYNCERR_BAD_ARGUMENT;
    return RemoveWhere(*o, [&](const PdbRecord& r) { return r.Category() != static_cast<unsigned>(category); });
}

SyncErr SYNC_CALL SyncChangeCategory(SyncDbHandle hDb, uint8_t fromCategory, uint8_t toCategory)
{
    INJECT("SyncChangeCategory");
    OpenDb* o;
    if (SyncErr e = Writable(hDb, o))
        return e;
    if (fromCategory > 15 || toCategory > 15 || o->db.IsResource())
        return SYNCERR_BAD_ARGUMENT;
    PdbDatabase scratch;
    PdbDatabase& changed = Draft(*o, scratch);
    bool any = false;
    for (PdbRecord& r : changed.records) {
        if (r.Category() == fromCategory) {
            r.attributes = static_cast<std::uint8_t>((r.attributes & ~kPdbRecCategoryMask) | toCategory);
            any = true;
        }
    }
    return any ? Commit(*o, changed, false) : SYNCERR_NONE;
}

SyncErr SYNC_CALL SyncReadRecordById(SyncRawRecord* pRec)
{
    INJECT("SyncReadRecordById");
    if (!pRec)
        return SYNCERR_BAD_ARGUMENT;
    OpenDb* o = Db(pRec->dbHandle);
    if (!o)
        return SYNCERR_BAD_HANDLE;
    if (o->db.IsResource())
        return SYNCERR_WRONG_KIND;
    return ReadAt(pRec, o->Find(pRec->recordId));
}

SyncErr SYNC_CALL SyncReadRecordByIndex(SyncRawRecord* pRec)
{
    INJECT("SyncReadRecordByIndex");
    if (!pRec)
        return SYNCERR_BAD_ARGUMENT;
    return ReadAt(pRec, pRec->recordIndex);
}

SyncErr SYNC_CALL SyncReadNextModifiedRec(SyncRawRecord* pRec)
{
    INJECT("SyncReadNextModifiedRec");
    if (!pRec)
        return SYNCERR_BAD_ARGUMENT;
    OpenDb* o = Db(pRec->dbHandle);
    if (!o)
        return SYNCERR_BAD_HANDLE;
    auto& recs = o->db.records;
    while (o->nextModified < recs.size() && !recs[o->nextModified].IsDirty())
        ++o->nextModified;
    if (o->nextModified >= recs.size())
        return SYNCERR_NOT_FOUND;
    SyncErr e = ToRaw(*o, o->nextModified, pRec);
    if (e == SYNCERR_NONE)
        ++o->nextModified;
    return e;
}

SyncErr SYNC_CALL SyncReadNextRecInCategory(SyncRawRecord* pRec)
{
    INJECT("SyncReadNextRecInCategory");
    if (!pRec)
        return SYNCERR_BAD_ARGUMENT;
    OpenDb* o = Db(pRec->dbHandle);
    if (!o)
        return SYNCERR_BAD_HANDLE;
    if (pRec->category < 0 || pRec->category > 15)
        return SYNCERR_BAD_ARGUMENT;
    if (o->cursorCategory != pRec->category) {
        o->cursorCategory = pRec->category;
        o->nextInCategory = 0;
    }
    const unsigned category = static_cast<unsigned>(pRec->category);
    auto& recs = o->db.records;
    // Deleted records are no longer in any category, as the handheld sees it.
    while (o->nextInCategory < recs.size() &&
           (recs[o->nextInCategory].IsDeleted() || recs[o->nextInCategory].Category() != category))
        ++o->nextInCategory;
    if (o->nextInCategory >= recs.size())
        return SYNCERR_NOT_FOUND;
    SyncErr e = ToRaw(*o, o->nextInCategory, pRec);
    if (e == SYNCERR_NONE)
        ++o->nextInCategory;
    return e;
}

static SyncErr ReadBlock(SyncDbHandle hDb, SyncBlockDesc* pBlock, bool appInfo)
{
    OpenDb* o = Db(hDb);
    if (!o)
        return SYNCERR_BAD_HANDLE;
    if (!pBlock)
        return SYNCERR_BAD_ARGUMENT;
    bool has = appInfo ? o->db.hasAppInfo : o->db.hasSortInfo;
    const std::vector<std::uint8_t>& bytes = appInfo ? o->db.appInfo : o->db.sortInfo;
    pBlock->bytesUsed = 0;
    if (!has)
        return SYNCERR_NOT_FOUND;
    if (bytes.size() > pBlock->bufferSize || (!bytes.empty() && !pBlock->pBuffer))
        return SYNCERR_BUFFER_TOO_SMALL;
    if (!bytes.empty())
        std::memcpy(pBlock->pBuffer, bytes.data(), bytes.size());
    pBlock->bytesUsed = static_cast<std::uint16_t>(bytes.size());
    return SYNCERR_NONE;
}

SyncErr SYNC_CALL SyncReadDBAppInfoBlock(SyncDbHandle hDb, SyncBlockDesc* pBlock)
{
    INJECT("SyncReadDBAppInfoBlock");
    return ReadBlock(hDb, pBlock, true);
}

SyncErr SYNC_CALL SyncReadDBSortInfoBlock(SyncDbHandle hDb, SyncBlockDesc* pBlock)
{
    INJECT("SyncReadDBSortInfoBlock");
    return ReadBlock(hDb, pBlock, false);
}

SyncErr SYNC_CALL SyncWriteDBAppInfoBlock(SyncDbHandle hDb, SyncBlockDesc* pBlock)
{
    INJECT("SyncWriteDBAppInfoBlock");
    OpenDb* o;
    if (SyncErr e = Writable(hDb, o))
        return e;
    if (!pBlock || pBlock->bytesUsed > pBlock->bufferSize || (pBlock->bytesUsed && !pBlock->pBuffer))
        return SYNCERR_BAD_ARGUMENT;
    PdbDatabase scratch;
    PdbDatabase& changed = Draft(*o, scratch);
    changed.hasAppInfo = true;
    changed.appInfo.assign(pBlock->pBuffer, pBlock->pBuffer + pBlock->bytesUsed);
    return Commit(*o, changed, false);
}

SyncErr SYNC_CALL SyncReadPositionXMap(SyncPositionMap* pMap)
{
    INJECT("SyncReadPositionXMap");
    if (!pMap)
        return SYNCERR_BAD_ARGUMENT;
    pMap->numEntries = 0;
    OpenDb* o = Db(pMap->dbHandle);
    if (!o)
        return SYNCERR_BAD_HANDLE;
    if (o->db.IsResource())
        return SYNCERR_WRONG_KIND;
    const auto& recs = o->db.records;
    if (pMap->firstIndex > recs.size())
        return SYNCERR_NOT_FOUND;
    std::size_t n = recs.size() - pMap->firstIndex;
    if (n > pMap->maxEntries)
        n = pMap->maxEntries;
    if (n && !pMap->pIds)
        return SYNCERR_BAD_ARGUMENT;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t id = recs[pMap->firstIndex + i].uniqueId;
        std::uint8_t* b = reinterpret_cast<std::uint8_t*>(pMap->pIds + i);
        b[0] = static_cast<std::uint8_t>(id >> 24);
        b[1] = static_cast<std::uint8_t>(id >> 16);
        b[2] = static_cast<std::uint8_t>(id >> 8);
        b[3] = static_cast<std::uint8_t>(id);
    }
    pMap->numEntries = static_cast<std::uint16_t>(n);
    return SYNCERR_NONE;
}

} // extern "C"
