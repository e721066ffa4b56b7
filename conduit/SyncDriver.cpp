#include "SyncDriver.h"

#include <cstring>
#include <memory>
#include <new>
#include <unordered_set>
#include <vector>

namespace {

struct Cell {
    DWORD key;
    DWORD mask;
};

DWORD Lookup(const Cell* table, size_t n, DWORD key)
{
    for (size_t i = 0; i < n; ++i)
        if (table[i].key == key)
            return table[i].mask;
    return 0;
}

constexpr DWORD K(DWORD a, DWORD b) { return (a << 16) | b; }
constexpr DWORD Same(DWORD a, DWORD b) { return K(a, b) | 0x20000000; }
constexpr DWORD Diff(DWORD a, DWORD b) { return K(a, b) | 0x10000000; }

// Rows by the handheld record's status code, columns by the desktop's.
#define FAST_ROW(a, c40, c20, c4, c1, c5, c2, c6) \
    {K(a, 0x40), c40}, {K(a, 0x20), c20}, {K(a, 0x4), c4}, {K(a, 0x1), c1}, {K(a, 0x5), c5}, {K(a, 0x2), c2}, {K(a, 0x6), c6}

const Cell kFastHandheld[] = {
    FAST_ROW(0x4, 0x20, 0x40, 0x100, 0x1000040, 0x1000040, 0x1000040, 0x400),
    FAST_ROW(0x1, 0x4, 0x5, 0x1000080, 0x5, 0x5, 0x6, 0x6),
    FAST_ROW(0x5, 0x4, 0x5, 0x1000080, 0x5, 0x5, 0x6, 0x6),
    FAST_ROW(0x2, 0x8, 0x9, 0x1000080, 0x9, 0x9, 0x9, 0x6),
    FAST_ROW(0x6, 0x8, 0x9, 0x200, 0x9, 0x9, 0x9, 0x800),
    FAST_ROW(0x3, 0x8, 0x9, 0x200, 0x9, 0x9, 0x9, 0x800),
    FAST_ROW(0x7, 0x8, 0x9, 0x200, 0x9, 0x9, 0x9, 0x800),
};

// Two masks per cell: the records the same, the records different.
#define SLOW_ROW(a, c40, s20, d20, s4, d4, s1, d1, s5, d5, s2, d2, s6, d6, s8, d8)                                 \
    {K(a, 0x40), c40}, {Same(a, 0x20), s20}, {Diff(a, 0x20), d20}, {Same(a, 0x4), s4}, {Diff(a, 0x4), d4},          \
        {Same(a, 0x1), s1}, {Diff(a, 0x1), d1}, {Same(a, 0x5), s5}, {Diff(a, 0x5), d5}, {Same(a, 0x2), s2},         \
        {Diff(a, 0x2), d2}, {Same(a, 0x6), s6}, {Diff(a, 0x6), d6}, {Same(a, 0x8), s8}, {Diff(a, 0x8), d8}
// Rows of a deleted handheld record carry no comparison.
#define SLOW_DELETED_ROW(a) \
    {K(a, 0x40), 0x4}, {K(a, 0x20), 0x5}, {K(a, 0x4), 0x1000080}, {K(a, 0x1), 0x5}, {K(a, 0x5), 0x5}, {K(a, 0x2), 0x6}, {K(a, 0x6), 0x6}

const Cell kSlowHandheld[] = {
    SLOW_ROW(0x20, 0x20, 0, 0x2000, 0, 0x80, 0x5, 0x5, 0x5, 0x5, 0x6, 0x6, 0x6, 0x6, 0, 0x2000),
    SLOW_ROW(0x4, 0x20, 0, 0x40, 0, 0x2000, 0x5, 0x40, 0x5, 0x40, 0x6, 0x1000040, 0x6, 0x2000, 0, 0),
    SLOW_DELETED_ROW(0x1),
    SLOW_DELETED_ROW(0x5),
    SLOW_ROW(0x2, 0x8, 0x9, 0x9, 0x9, 0x80, 0x9, 0x9, 0x9, 0x9, 0x9, 0xA, 0x9, 0xA, 0, 0),
    SLOW_ROW(0x6, 0x8, 0x9, 0x9, 0x9, 0x1002000, 0x9, 0x9, 0x9, 0x9, 0x9, 0xA, 0x9, 0xA, 0, 0),
    SLOW_ROW(0x3, 0x8, 0x9, 0x9, 0x9, 0x80, 0x9, 0x9, 0x9, 0x9, 0x9, 0xA, 0x9, 0xA, 0, 0),
    SLOW_ROW(0x7, 0x8, 0x9, 0x9, 0x9, 0x1002000, 0x9, 0x9, 0x9, 0x9, 0x9, 0xA, 0x9, 0xA, 0, 0),
};

#define DESKTOP_ROW(c20, c4, c1, c5, c2, c6, c3, c7, c8, cC, c9, cD, cA, cE)                                         \
    {0x20, c20}, {0x4, c4}, {0x1, c1}, {0x5, c5}, {0x2, c2}, {0x6, c6}, {0x3, c3}, {0x7, c7}, {0x8, c8}, {0xC, cC}, \
        {0x9, c9}, {0xD, cD}, {0xA, cA}, {0xE, cE}

const Cell kFastDesktop[] = {
    DESKTOP_ROW(0, 0x80, 0x10001, 0x10001, 0x10002, 0x10002, 0x10002, 0x10002, 0x10, 0x10, 0x10001, 0x10001, 0x10002,
                0x10002)};
// A record modified on the desktop that the handheld lacks goes to the
// handheld, as in the fast sync: writing it at a handheld position it never
// had could only fail and end the run.
const Cell kSlowDesktop[] = {DESKTOP_ROW(0x1, 0x10, 0x1, 0x1, 0x2, 0x2, 0x2, 0x2, 0x10, 0x10, 0x1, 0x1, 0x2, 0x2)};
const Cell kDesktopToHandheld[] = {
    DESKTOP_ROW(0x10, 0x10, 0x1, 0x1, 0x2, 0x2, 0x2, 0x2, 0x10, 0x10, 0x1, 0x1, 0x2, 0x2)};
const Cell kHandheldToDesktop[] = {{K(0x20, 0), 0x20}, {K(0x4, 0), 0x20}, {K(0x2, 0), 0x8}, {K(0x6, 0), 0x8},
                                   {K(0x3, 0), 0x8},   {K(0x7, 0), 0x8}};

#define LOOKUP(table, key) Lookup(table, sizeof table / sizeof table[0], key)

} // namespace

DWORD CSyncDriver::FastHandheldTable(DWORD key) { return LOOKUP(kFastHandheld, key); }
DWORD CSyncDriver::SlowHandheldTable(DWORD key) { return LOOKUP(kSlowHandheld, key); }
DWORD CSyncDriver::FastDesktopTable(DWORD key) { return LOOKUP(kFastDesktop, key); }
DWORD CSyncDriver::SlowDesktopTable(DWORD key) { return LOOKUP(kSlowDesktop, key); }
DWORD CSyncDriver::DesktopToHandheldTable(DWORD key) { return LOOKUP(kDesktopToHandheld, key); }
DWORD CSyncDriver::HandheldToDesktopTable(DWORD key) { return LOOKUP(kHandheldToDesktop, key); }

CSyncDriver::CSyncDriver(const CSyncProperties& props, DWORD dwCaps, void* hResources)
    : m_props(props), m_dwCaps(dwCaps), m_bSlow(false), m_pHandheld(nullptr), m_pDesktop(nullptr), m_pBackup(nullptr),
      m_hConduit(0), m_bMapChanged(false), m_log(hResources)
{
    m_props.m_PathName[sizeof m_props.m_PathName - 1] = '\0';
    m_props.m_LocalName[sizeof m_props.m_LocalName - 1] = '\0';
    std::memset(m_pArchives, 0, sizeof m_pArchives);
    std::memset(&m_desc, 0, sizeof m_desc);
    std::memset(m_systemInfo, 0, sizeof m_systemInfo);
    for (LONG& m : m_categoryMap)
        m = -1;
}

CSyncDriver::~CSyncDriver()
{
    DestroyManagers();
    SaveArchives();
}

LONG CSyncDriver::Run()
{
    const LONG type = m_props.m_SyncType;
    if (type >= 8)
        return CONDUIT_SYNC_TYPE_TOO_HIGH;
    if (type == 6)
        return CONDUIT_OK;
    if (SyncErr e = SyncReadSystemInfo(reinterpret_cast<SyncSystemInfo*>(m_systemInfo)))
        return e;
    if (LONG e = Register())
        return e;
    LONG result = CONDUIT_OK;
    for (int i = 0; i < m_props.m_nRemoteCount && result == CONDUIT_OK; ++i) {
        if (SelectDatabase(i) != CONDUIT_OK)
            break;
        result = Dispatch();
        DestroyManagers();
        LONG saved = SaveArchives();
        if (result == CONDUIT_OK)
            result = saved;
    }
    return Finish(result);
}

LONG CSyncDriver::Dispatch()
{
    LONG e;
    switch (m_props.m_SyncType) {
    case 0: e = FastSync(); break;
    case 1: e = SlowSync(); break;
    case 2: case 5: return HandheldOverwritesDesktop();
    case 3: case 4: case 7: return DesktopOverwritesHandheld();
    case 6: return CONDUIT_OK;
    default: return CONDUIT_BAD_SYNC_TYPE;
    }
    if (e != CONDUIT_SYNC_TYPE_SWITCHED)
        return e;
    DestroyManagers();
    if (m_props.m_SyncType == 2)
        return HandheldOverwritesDesktop();
    if (m_props.m_SyncType == 3)
        return DesktopOverwritesHandheld();
    return e;
}

LONG CSyncDriver::Register()
{
    if (SyncErr e = SyncRegisterConduit(&m_hConduit))
        return e;
    m_log.LogText("", ACT_BEGIN);
    m_log.LogText("", ACT_END_OK);
    m_log.LogText("", ACT_BEGIN);
    return CONDUIT_OK;
}

LONG CSyncDriver::Finish(LONG result)
{
    m_log.LogText(m_log.GetConduitName().c_str(), result == CONDUIT_OK ? ACT_END_OK : ACT_END_FAILED);
    LONG e = SyncUnRegisterConduit(m_hConduit);
    m_hConduit = 0;
    return result == CONDUIT_OK ? e : result;
}

LONG CSyncDriver::SelectDatabase(int i)
{
    if (i < 0 || i >= 32)
        return CONDUIT_BAD_INDEX;
    if (m_props.m_RemoteDbList) {
        const SyncDbDescriptor* d = m_props.m_RemoteDbList[i];
        if (!d)
            return CONDUIT_NULL_ARGUMENT;
        m_desc = *d;
    } else {
        const char* name = m_props.m_RemoteName[i];
        if (!name)
            return CONDUIT_NULL_ARGUMENT;
        std::memset(&m_desc, 0, sizeof m_desc);
        m_desc.dbType = m_props.m_DbType;
        m_desc.creator = m_props.m_Creator;
        for (size_t k = 0; k + 1 < sizeof m_desc.name && name[k]; ++k)
            m_desc.name[k] = name[k];
    }
    m_desc.name[sizeof m_desc.name - 1] = '\0';
    return CONDUIT_OK;
}

void CSyncDriver::DestroyManagers()
{
    delete m_pHandheld;
    m_pHandheld = nullptr;
    delete m_pDesktop;
    m_pDesktop = nullptr;
    delete m_pBackup;
    m_pBackup = nullptr;
}

LONG CSyncDriver::OpenAllManagers()
{
    for (LONG& m : m_categoryMap)
        m = -1;
    m_bMapChanged = false;
    DestroyManagers();
    int32_t& type = m_props.m_SyncType;

    // Desktop overwrites handheld deletes the handheld database first; the
    // desktop file must be there and readable before anything is deleted.
    const bool replaceHandheld = type == 3 || type == 4 || type == 7;
    if (replaceHandheld) {
        if (LONG e = OpenDesktop())
            return e;
        if (LONG e = m_pDesktop->Load())
            return e;
    }

    m_pHandheld = new (std::nothrow) CHandheldDb(type, m_dwCaps, &m_log);
    if (!m_pHandheld)
        return CONDUIT_NO_MEMORY;
    if (LONG e = m_pHandheld->SetName(m_desc.name))
        return e;
    m_pHandheld->SetCreator(m_desc.creator);
    m_pHandheld->SetType(m_desc.dbType);
    m_pHandheld->SetFlags(m_desc.dbFlags);
    m_pHandheld->SetVersion(0);
    m_pHandheld->SetCardNo(static_cast<BYTE>(m_desc.cardNo));
    if (LONG e = m_pHandheld->Open()) {
        if (e == CONDUIT_HANDHELD_MISSING && (type == 0 || type == 1)) {
            type = 3;
            return CONDUIT_SYNC_TYPE_SWITCHED;
        }
        return e;
    }

    if (!replaceHandheld) {
        if (LONG e = OpenDesktop())
            return e;
    }

    m_pBackup = new (std::nothrow)
        CBackupDb(m_desc.name, m_props.m_PathName, m_props.m_LocalName, m_dwCaps, type, &m_log);
    if (!m_pBackup)
        return CONDUIT_NO_MEMORY;
    return m_pBackup->Open();
}

LONG CSyncDriver::OpenDesktop()
{
    int32_t& type = m_props.m_SyncType;
    m_pDesktop = new (std::nothrow)
        CDesktopDb(m_desc.name, m_props.m_PathName, m_props.m_LocalName, m_dwCaps, type, &m_log);
    if (!m_pDesktop)
        return CONDUIT_NO_MEMORY;
    if (LONG e = m_pDesktop->Open()) {
        if (e == CONDUIT_DESKTOP_MISSING && (type == 0 || type == 1)) {
            type = 2;
            return CONDUIT_SYNC_TYPE_SWITCHED;
        }
        return e;
    }
    return CONDUIT_OK;
}

LONG CSyncDriver::FastSync() { return Synchronize(false); }
LONG CSyncDriver::SlowSync() { return Synchronize(true); }

LONG CSyncDriver::Synchronize(bool bSlow)
{
    m_bSlow = bSlow;
    if (LONG e = OpenAllManagers())
        return e;
    // The desktop file is read whole first: the category step moves its records.
    if (LONG e = m_pDesktop->Load())
        return e;
    if (LONG e = ReconcileAppInfo())
        return e;
    if (LONG e = m_pHandheld->Load())
        return e;

    // Handheld pass. Processing may write records back at other positions,
    // so each record is taken as a copy.
    CSyncRecord rec;
    for (int i = 0; i < m_pHandheld->GetEnd(); ++i) {
        const CSyncRecord* p = m_pHandheld->GetAt(i);
        if (!p || (!bSlow && p->GetFlags() == 0))
            continue;
        rec = *p;
        if (LONG e = ProcessHandheldRecord(rec))
            return e;
    }

    // Desktop pass.
    if (!bSlow)
        m_pDesktop->ReorderChangedFirst();
    const int end = m_pDesktop->GetEnd();
    for (int i = 0; i < end; ++i) {
        const CSyncRecord* p = m_pDesktop->GetAt(i);
        if (!p)
            continue;
        if (bSlow ? !p->IsUnvisited() : p->GetFlags() == 0)
            continue;
        rec = *p;
        if (LONG e = ProcessDesktopRecord(rec))
            return e;
    }

    // Archived records reach their archive before anything is purged.
    if (LONG e = SaveArchives())
        return e;
    if (LONG e = PurgeAndCountCheck())
        return e;
    return Close();
}

LONG CSyncDriver::HandheldOverwritesDesktop()
{
    m_bSlow = false;
    if (LONG e = OpenAllManagers())
        return e;
    if (LONG e = m_pDesktop->SetHeaderFrom(m_desc))
        return e;
    if (LONG e = m_pHandheld->Load())
        return e;
    if (LONG e = m_pDesktop->Load())
        return e;
    if (LONG e = CopyAppInfoToDesktop())
        return e;
    CSyncRecord a, b;
    for (int i = 0; i < m_pHandheld->GetEnd(); ++i) {
        const CSyncRecord* p = m_pHandheld->GetAt(i);
        if (!p)
            continue;
        a = *p;
        b.Reset();
        if (LONG e = Execute(HandheldToDesktopTable(a.GetStatusCode() << 16), a, b))
            return e;
    }
    if (LONG e = SaveArchives())
        return e;
    return Close();
}

LONG CSyncDriver::DesktopOverwritesHandheld()
{
    m_bSlow = false;
    if (LONG e = OpenAllManagers())
        return e;
    if (LONG e = m_pDesktop->Load())
        return e;
    if (LONG e = CopyAppInfoToHandheld())
        return e;
    CSyncRecord a, b;
    const int end = m_pDesktop->GetEnd();
    for (int i = 0; i < end; ++i) {
        const CSyncRecord* p = m_pDesktop->GetAt(i);
        if (!p)
            continue;
        b = *p;
        a.Reset();
        if (LONG e = Execute(DesktopToHandheldTable(b.GetStatusCode()), a, b))
            return e;
    }
    if (LONG e = SaveArchives())
        return e;
    return Close();
}

LONG CSyncDriver::Close()
{
    const LONG type = m_props.m_SyncType;
    // The handheld holds this operation's changes (and may have forgotten
    // which records were modified) even when closing it fails, so the
    // desktop file is written all the same; the first failure is the result.
    LONG closed = m_pHandheld->Close(type != 5);
    if (LONG e = m_pDesktop->Save())
        return closed ? closed : e;
    if (closed)
        return closed;
    if (m_pBackup) {
        // Without a data file (nothing was ever written) there is nothing to back up.
        if (type == 4 || type == 7) {
            if (!CFile::Exists(m_pBackup->GetDataPath().c_str()))
                return CONDUIT_OK;
        }
        return m_pBackup->Finish();
    }
    return CONDUIT_OK;
}

LONG CSyncDriver::CopyAppInfoToDesktop()
{
    if (!m_pHandheld->HasAppInfo() || !m_pDesktop->HasAppInfo())
        return CONDUIT_OK;
    LONG e = m_pHandheld->ReadAppInfo();
    if (e == SYNC_NOT_FOUND)
        return CONDUIT_OK;
    if (e)
        return e;
    return m_pDesktop->SetAppInfo(m_desc.name, m_pHandheld->GetAppInfo(), m_pHandheld->GetAppInfoLength(), 0);
}

LONG CSyncDriver::CopyAppInfoToHandheld()
{
    if (!m_pHandheld->HasAppInfo() || !m_pDesktop->HasAppInfo() || !m_pDesktop->HasAppInfoBlock())
        return CONDUIT_OK;
    if (LONG e = m_pHandheld->SetAppInfo(m_pDesktop->GetAppInfoData(), m_pDesktop->GetAppInfoLength()))
        return e;
    return m_pHandheld->WriteAppInfo();
}

LONG CSyncDriver::ProcessHandheldRecord(CSyncRecord& a)
{
    CSyncRecord b;
    const bool found = m_pDesktop->ReadById(a.GetID(), b) == CONDUIT_OK;
    const DWORD pc = found ? b.GetStatusCode() : DWORD(CSyncRecord::StatusCodeMissing);
    DWORD key;
    if (!m_bSlow) {
        key = (a.GetStatusCode() << 16) | pc;
        return Execute(FastHandheldTable(key), a, b);
    }
    DWORD compare = 0;
    const DWORD hh = a.GetStatusCode();
    if (found && hh != 1 && hh != 5) {
        compare = a.Compare(b) ? DWORD(KeyDiffer) : DWORD(KeySame);
        if (!a.IsModified() && m_pBackup) {
            const CSyncRecord* old = m_pBackup->FindById(a.GetID());
            if (!old || old->Compare(a) != 0)
                a.SetModified(1);
        }
    }
    key = (a.GetStatusCode() << 16) | pc | compare;
    return Execute(SlowHandheldTable(key), a, b);
}

LONG CSyncDriver::ProcessDesktopRecord(CSyncRecord& b)
{
    CSyncRecord a;
    if (m_bSlow)
        return Execute(SlowDesktopTable(b.GetStatusCode()), a, b);
    if (b.GetID() != 0) {
        LONG e = m_pHandheld->ReadById(b.GetID(), a, 0);
        if (e == SYNC_NOT_FOUND) {
            a.Reset();
            b.SetNew(1);
        } else if (e) {
            return e;
        }
    } else {
        b.SetNew(1);
    }
    return Execute(FastDesktopTable(b.GetStatusCode()), a, b);
}

LONG CSyncDriver::Execute(DWORD mask, CSyncRecord& a, CSyncRecord& b)
{
    if (mask & ActDeleteDesktop) {
        if (LONG e = m_pDesktop->DeleteRecord(b))
            return e;
    }
    if (mask & ActArchiveDesktop) {
        if (LONG e = ArchiveRecord(b))
            return e;
        if (LONG e = m_pDesktop->DeleteRecord(b))
            return e;
    }
    if (mask & (ActDeleteHandheld | ActArchiveHandheld)) {
        if (mask & ActArchiveHandheld) {
            if (LONG e = ArchiveRecord(a))
                return e;
        }
        if (!a.IsArchived() && !a.IsDeleted()) {
            if (LONG e = m_pHandheld->DeleteRecord(a))
                return e;
        }
    }
    if (mask & ActAddToHandheld) {
        CSyncRecord added(b);
        added.SetPositionOverride(-1);
        // A handheld record under the same ID is another memo; adding with that
        // ID would overwrite it, so the handheld gives this one a new ID.
        if (a.GetPosition() >= 0 && a.GetID() == b.GetID())
            added.SetID(0);
        if (LONG e = m_pHandheld->AddRecord(added)) {
            m_log.LogRecord(3376, b, e);
            return e;
        }
        if (added.GetID() != b.GetID()) {
            CSyncRecord placed(b);
            placed.SetID(added.GetID());
            if (LONG e = m_pDesktop->ReplaceAtPosition(placed))
                return e;
            b.SetID(added.GetID());
        }
    }
    if (mask & ActAddToDesktop) {
        CSyncRecord added(a);
        added.ResetStatus();
        if (LONG e = m_pDesktop->AddRecord(added)) {
            m_log.LogRecord(3375, a, e);
            return e;
        }
    }
    if (mask & ActReplaceDesktop) {
        CSyncRecord copy(a);
        copy.SetPosition(b.GetPosition());
        if (LONG e = m_pDesktop->ReplaceAtPosition(copy))
            return e;
    }
    if (mask & ActWriteHandheld) {
        CSyncRecord copy(b);
        copy.SetPosition(a.GetPosition());
        copy.SetPositionOverride(-1);
        if (LONG e = m_pHandheld->ReplaceAtPosition(copy))
            return e;
    }
    if (mask & ActDuplicateIfDiffer) {
        if (LONG e = DuplicateIfDiffer(a, b))
            return e;
    }
    if (mask & ActHhArchivedPcModified) {
        if (LONG e = HhArchivedPcModified(a, b))
            return e;
    }
    if (mask & ActHhModifiedPcArchived) {
        if (LONG e = HhModifiedPcArchived(a, b))
            return e;
    }
    if (mask & ActBothArchived) {
        if (LONG e = BothArchived(a, b))
            return e;
    }
    if (mask & ActDuplicate) {
        if (LONG e = Duplicate(a, b))
            return e;
    }
    if (mask & ActDeleteHandheldById) {
        CSyncRecord gone;
        gone.SetID(b.GetID());
        LONG e = m_pHandheld->DeleteRecord(gone);
        if (e && IsCommunicationError(e))
            return e;
    }
    if (mask & ActLogModDeleted)
        m_log.LogRecordEvent(3334, a);
    return CONDUIT_OK;
}

LONG CSyncDriver::DuplicateIfDiffer(CSyncRecord& a, CSyncRecord& b)
{
    return a.Compare(b) ? Duplicate(a, b) : CONDUIT_OK;
}

LONG CSyncDriver::Duplicate(CSyncRecord& a, CSyncRecord& b)
{
    CSyncRecord placed(a);
    placed.SetPosition(b.GetPosition());
    placed.ResetStatus();
    if (LONG e = m_pDesktop->ReplaceAtPosition(placed))
        return e;
    CSyncRecord copy(b);
    copy.SetID(0);
    copy.SetPositionOverride(-1);
    if (LONG e = m_pHandheld->AddRecord(copy)) {
        m_log.LogRecord(3376, b, e);
        return e;
    }
    copy.ResetStatus();
    if (LONG e = m_pDesktop->AddRecord(copy)) {
        m_log.LogRecord(3375, b, e);
        return e;
    }
    m_log.LogRecordEvent(3328, a);
    return CONDUIT_OK;
}

LONG CSyncDriver::HhArchivedPcModified(CSyncRecord& a, CSyncRecord& b)
{
    if (a.Compare(b) == 0) {
        if (LONG e = ArchiveRecord(b))
            return e;
        return m_pDesktop->DeleteRecord(b);
    }
    CSyncRecord back(a);
    back.ResetStatus();
    if (LONG e = m_pHandheld->WriteRecord(back))
        return e;
    a.ResetStatus();
    return Duplicate(a, b);
}

LONG CSyncDriver::HhModifiedPcArchived(CSyncRecord& a, CSyncRecord& b)
{
    if (a.Compare(b) == 0) {
        if (LONG e = ArchiveRecord(b))
            return e;
        return m_pDesktop->DeleteRecord(b);
    }
    return Duplicate(a, b);
}

LONG CSyncDriver::BothArchived(CSyncRecord& a, CSyncRecord& b)
{
    if (LONG e = ArchiveRecord(b))
        return e;
    if (a.Compare(b) != 0) {
        if (LONG e = ArchiveRecord(a))
            return e;
    }
    return m_pDesktop->DeleteRecord(b);
}

LONG CSyncDriver::GetArchive(DWORD category, CArchiveDb** ppArchive)
{
    *ppArchive = nullptr;
    std::string file;
    DWORD index = 0;
    if ((m_dwCaps & 3) == 3) {
        if (category >= 16)
            return CONDUIT_CATEGORY_INDEX_TOO_HIGH;
        if (m_pArchives[category]) {
            *ppArchive = m_pArchives[category];
            return CONDUIT_OK;
        }
        CCategoryList* list = m_pHandheld ? m_pHandheld->GetCategoryList() : nullptr;
        if (!list && m_pHandheld) {
            m_pHandheld->LoadCategories();
            list = m_pHandheld->GetCategoryList();
        }
        const CPCategory* c = list ? list->GetByIndex(static_cast<LONG>(category)) : nullptr;
        index = category;
        if (!c) {
            c = list ? list->GetByIndex(0) : nullptr;
            index = 0;
            if (!c)
                return CONDUIT_NO_MEMORY;
            if (m_pArchives[0]) {
                *ppArchive = m_pArchives[0];
                return CONDUIT_OK;
            }
        }
        file = c->GetFileName();
    } else {
        if (m_pArchives[0]) {
            *ppArchive = m_pArchives[0];
            return CONDUIT_OK;
        }
        file = m_props.m_LocalName[0] ? m_props.m_LocalName : "GenericDB.DAT";
    }
    std::unique_ptr<CArchiveDb> archive(new (std::nothrow)
                                            CArchiveDb(m_desc.name, m_props.m_PathName, file.c_str(), m_dwCaps,
                                                       m_props.m_SyncType, &m_log));
    if (!archive)
        return CONDUIT_NO_MEMORY;
    if (LONG e = archive->Open())
        return e;
    if (archive->GetRecordCount() == 0) {
        if (LONG e = archive->SetHeaderFrom(m_desc))
            return e;
    }
    m_pArchives[index] = archive.release();
    *ppArchive = m_pArchives[index];
    return CONDUIT_OK;
}

LONG CSyncDriver::ArchiveRecord(const CSyncRecord& r)
{
    CArchiveDb* archive = nullptr;
    if (LONG e = GetArchive(r.GetCategory(), &archive))
        return e;
    CSyncRecord copy(r);
    copy.ResetStatus();
    return archive->AddRecord(copy);
}

LONG CSyncDriver::SaveArchives()
{
    LONG result = CONDUIT_OK;
    for (CArchiveDb*& a : m_pArchives) {
        if (!a)
            continue;
        LONG e = a->SaveArchive();
        if (e && result == CONDUIT_OK)
            result = e;
        delete a;
        a = nullptr;
    }
    return result;
}

LONG CSyncDriver::PurgeAndCountCheck()
{
    if (LONG e = m_pHandheld->PurgeDeleted())
        return e;
    if (LONG e = m_pDesktop->PurgeDeleted())
        return e;
    DWORD hhCount = 0;
    if (LONG e = m_pHandheld->GetHandheldRecordCount(&hhCount))
        return e;
    if (hhCount == static_cast<DWORD>(m_pDesktop->GetRecordCount()))
        return CONDUIT_OK;

    std::vector<DWORD> hhIds(hhCount ? hhCount : 1);
    DWORD n = hhCount;
    if (LONG e = m_pHandheld->ReadRecordIdList(hhIds.data(), &n))
        return e;
    hhIds.resize(n);
    int pcCount = m_pDesktop->GetRecordCount();
    std::vector<DWORD> pcIds(pcCount ? static_cast<size_t>(pcCount) : 1);
    if (LONG e = m_pDesktop->GetIdList(pcIds.data(), &pcCount))
        return e;
    pcIds.resize(static_cast<size_t>(pcCount));
    std::unordered_set<DWORD> onHandheld(hhIds.begin(), hhIds.end());
    std::unordered_set<DWORD> onDesktop(pcIds.begin(), pcIds.end());

    CSyncRecord rec;
    for (DWORD id : hhIds) {
        if (onDesktop.count(id))
            continue;
        if (LONG e = m_pHandheld->ReadById(id, rec, 1))
            return e;
        rec.ResetStatus();
        if (LONG e = m_pDesktop->AddRecord(rec)) {
            m_log.LogRecord(3375, rec, e);
            return e;
        }
    }
    for (DWORD id : pcIds) {
        if (onHandheld.count(id))
            continue;
        LONG position = m_pDesktop->FindPositionById(id);
        if (position < 0)
            continue;
        rec = *m_pDesktop->GetAt(position);
        CSyncRecord added(rec);
        added.SetPositionOverride(-1);
        if (LONG e = m_pHandheld->AddRecord(added)) {
            m_log.LogRecord(3376, rec, e);
            return e;
        }
        if (added.GetID() != rec.GetID()) {
            rec.SetID(added.GetID());
            if (LONG e = m_pDesktop->ReplaceAtPosition(rec))
                return e;
        }
    }
    return CONDUIT_OK;
}

// --- Categories and the app-info block ---

LONG CSyncDriver::ReconcileAppInfo()
{
    if (!m_pHandheld->HasAppInfo() || !m_pDesktop->HasAppInfo())
        return CONDUIT_OK;
    LONG e = m_pHandheld->LoadCategories();
    if (e == CONDUIT_NO_CATEGORIES)
        return CONDUIT_OK;
    if (e)
        return e;
    if (m_pDesktop->HasCategories()) {
        if (LONG e2 = m_pDesktop->LoadCategories())
            return e2;
    } else {
        return CONDUIT_OK;
    }
    if (m_pHandheld->HasCategories() && m_pDesktop->HasCategories()) {
        if (LONG e2 = ReconcileCategories())
            return e2;
    }
    const bool pcExtra = m_pDesktop->HasExtra() != 0;
    const bool hhExtra = m_pHandheld->HasExtra() != 0;
    if (pcExtra && !hhExtra) {
        if (LONG e2 = m_pHandheld->SetExtra(m_pDesktop->GetExtraLength(), m_pDesktop->GetExtra()))
            return e2;
    } else if (hhExtra && (!pcExtra || m_pDesktop->GetExtraLength() != m_pHandheld->GetExtraLength() ||
                           std::memcmp(m_pDesktop->GetExtra(), m_pHandheld->GetExtra(),
                                       m_pHandheld->GetExtraLength()) != 0)) {
        if (LONG e2 = m_pDesktop->SetExtra(m_pHandheld->GetExtraLength(), m_pHandheld->GetExtra()))
            return e2;
    }
    if (LONG e2 = m_pHandheld->SaveAppInfo())
        return e2;
    return m_pDesktop->SaveCategories();
}

void CSyncDriver::MapCategory(LONG from, LONG to)
{
    if (from < 0 || from > 15)
        return;
    m_categoryMap[from] = to;
    m_bMapChanged = true;
}

LONG CSyncDriver::ReconcileCategories()
{
    CCategoryList* hh = m_pHandheld->GetCategoryList();
    CCategoryList* pc = m_pDesktop->GetCategoryList();
    if (!hh || !pc)
        return CONDUIT_OK;
    if (hh->Equal(*pc))
        return CONDUIT_OK;
    FirstSyncMarks();
    if (m_props.m_FirstSync != 2) {
        if (LONG e = DeleteMissingCategories())
            return e;
    }
    if (LONG e = MatchCategories())
        return e;
    if (LONG e = PlaceDesktopOnlyCategories())
        return e;
    if (m_bMapChanged)
        m_pDesktop->ApplyCategoryMap(m_categoryMap);
    pc->RemoveAll();
    for (LONG i = 0; i < 16; ++i)
        if (const CPCategory* h = hh->GetByIndex(i))
            pc->Add(*h);
    pc->SetChanged(1);
    return CONDUIT_OK;
}

void CSyncDriver::FirstSyncMarks()
{
    CCategoryList* hh = m_pHandheld->GetCategoryList();
    CCategoryList* pc = m_pDesktop->GetCategoryList();
    switch (m_props.m_FirstSync) {
    case 1: hh->MarkAllChanged(); break;
    case 2:
        pc->MarkAllChanged();
        if (m_bSlow)
            hh->MarkAllChanged();
        break;
    default:
        if (m_bSlow)
            hh->MarkAllChanged();
        break;
    }
}

LONG CSyncDriver::DeleteMissingCategories()
{
    CCategoryList* hh = m_pHandheld->GetCategoryList();
    CCategoryList* pc = m_pDesktop->GetCategoryList();
    // Deleted on the handheld: the desktop's records go to 'Unfiled'.
    for (LONG i = 0; i < 16; ++i) {
        CPCategory* p = pc->GetByIndex(i);
        if (!p || p->IsChanged() || hh->FindByName(p->GetName()) || hh->FindByID(p->GetID()))
            continue;
        std::string name = p->GetName();
        if (LONG e = m_pDesktop->ChangeCategory(static_cast<DWORD>(i), 0))
            return e;
        pc->DeleteByIndex(i);
        m_log.LogCategory(3325, name.c_str());
    }
    // Deleted on the desktop: the handheld's records go to 'Unfiled'.
    for (LONG i = 0; i < 16; ++i) {
        CPCategory* h = hh->GetByIndex(i);
        if (!h || h->IsChanged() || pc->FindByName(h->GetName()) || pc->FindByID(h->GetID()))
            continue;
        std::string name = h->GetName();
        if (LONG e = m_pHandheld->ChangeCategory(static_cast<DWORD>(i), 0))
            return e;
        m_log.LogCategory(3368, name.c_str());
        hh->DeleteByIndex(i);
    }
    return CONDUIT_OK;
}

LONG CSyncDriver::MatchCategories()
{
    CCategoryList* hh = m_pHandheld->GetCategoryList();
    CCategoryList* pc = m_pDesktop->GetCategoryList();
    for (LONG i = 0; i < 16; ++i) {
        CPCategory* h = hh->GetByIndex(i);
        if (!h)
            continue;
        if (CPCategory* p = pc->FindByName(h->GetName())) {
            const LONG pIndex = p->GetIndex();
            if (pIndex == h->GetIndex() && p->GetID() == h->GetID()) {
                pc->DeleteByIndex(pIndex);
            } else if (pIndex == h->GetIndex()) {
                CPCategory* q = pc->FindByID(h->GetID());
                if (q && q != p) {
                    std::string qName = q->GetName();
                    LONG qIndex = q->GetIndex();
                    if (m_pDesktop->ChangeCategory(static_cast<DWORD>(qIndex), static_cast<DWORD>(h->GetIndex())) ==
                        CONDUIT_OK)
                        pc->DeleteByIndex(qIndex);
                    else
                        m_log.LogCategory(3369, qName.c_str());
                }
                pc->DeleteByIndex(pIndex);
            } else {
                MapCategory(pIndex, h->GetIndex());
                CPCategory* q = pc->FindByID(h->GetID());
                if (q && q != p) {
                    MapCategory(q->GetIndex(), h->GetIndex());
                    pc->DeleteByIndex(q->GetIndex());
                }
                pc->DeleteByIndex(pIndex);
            }
        } else if (CPCategory* p = pc->FindByID(h->GetID())) {
            // Renamed on one side: a rename on the desktop alone wins.
            if (!h->IsChanged() && p->IsChanged()) {
                hh->Rename(h->GetIndex(), p->GetName());
                hh->SetChanged(1);
            }
            if (p->GetIndex() != h->GetIndex())
                MapCategory(p->GetIndex(), h->GetIndex());
            pc->DeleteByIndex(p->GetIndex());
        } else {
            // New on the handheld; a same-named category below it takes its records.
            for (LONG j = 0; j < i; ++j) {
                CPCategory* lower = hh->GetByIndex(j);
                if (lower && std::strcmp(lower->GetName(), h->GetName()) == 0) {
                    if (LONG e = m_pHandheld->ChangeCategory(static_cast<DWORD>(i), static_cast<DWORD>(j)))
                        return e;
                    hh->DeleteByIndex(i);
                    break;
                }
            }
        }
    }
    return CONDUIT_OK;
}

LONG CSyncDriver::PlaceDesktopOnlyCategories()
{
    CCategoryList* hh = m_pHandheld->GetCategoryList();
    CCategoryList* pc = m_pDesktop->GetCategoryList();
    for (LONG i = 0; i < 16; ++i) {
        CPCategory* p = pc->GetByIndex(i);
        if (!p)
            continue;
        std::string name = p->GetName();
        LONG free = hh->GetFreeIndex();
        if (free < 0) {
            m_log.LogCategory(3370, name.c_str());
            if (LONG e = m_pDesktop->ChangeCategory(static_cast<DWORD>(i), 0))
                return e;
            pc->DeleteByIndex(i);
            m_log.LogCategory(3368, name.c_str());
            continue;
        }
        CPCategory placed(*p);
        placed.SetIndex(free);
        if (LONG e = hh->AddAndMarkChanged(placed))
            return e;
        MapCategory(i, free);
        pc->DeleteByIndex(i);
    }
    return CONDUIT_OK;
}
