// Both readers of the desktop data file on arbitrary bytes. The data core's
// table opens them with no password and with "secret", is read through every
// accessor, and a small one saved must open again with the same memos. The
// conduit's reader refuses them or holds records that its writer stores and
// its reader gives back unchanged.
#include "Category.h"
#include "DesktopDb.h"
#include "FuzzFile.h"
#include "TessalyTable.h"

using namespace NorvaneCommon;

namespace {

const int kSaveLimit = 8;   // records; saving is slow next to reading

// Every memo's fields and every category's index and id, in order; traps
// where the table contradicts itself.
std::string Snapshot(CTessalyTable& table)
{
    std::string s;
    for (LONG i = 0; i < table.GetRecordCount(); ++i) {
        CTessalyRecord* r = static_cast<CTessalyRecord*>(table.GetRecord(i));
        if (!r || r->GetIndex() != static_cast<DWORD>(i))
            __builtin_trap();
        const DWORD fields[] = {r->GetLeadingByte(), r->GetID(), r->GetCategory(), r->IsUpdate() != 0,
                                r->IsDeleted() != 0, r->IsArchived() != 0, r->IsNew() != 0, r->IsPrivate() != 0};
        s.append(reinterpret_cast<const char*>(fields), sizeof fields);
        s.append(r->GetMemo().GetString(), static_cast<size_t>(r->GetMemo().GetLength()) + 1);
    }
    CCategoryMgr* mgr = table.GetCategoryManager();
    int count = 0;
    CCategory* cat = nullptr;
    for (CatError err = mgr ? mgr->FindFirst(cat) : CatErrNone; mgr && err == CatErrNone; err = mgr->FindNext(cat)) {
        s += '#' + std::to_string(cat->GetIndex() << 8 | cat->GetID());
        CCategory* found = nullptr;
        if (mgr->FindName(cat->GetName(), found) != CatErrNone ||
            mgr->FindID(static_cast<int>(cat->GetID()), found) != CatErrNone || ++count > 16)
            __builtin_trap();
    }
    if (mgr && count != mgr->GetCount())
        __builtin_trap();
    return s;
}

void ExerciseTable(const char* password)
{
    CString path(InputPath("datafile").c_str());
    CTessalyTable table;
    LONG result = table.OpenFrom(path, CFile::modeReadWrite, password);
    CString hint;
    table.GetPasswdHint(hint);
    if (result != TableOK) {
        // A wrong password still shows the categories, never the memos.
        if (table.GetRecordCount() != 0 || (result != TableBadPassword && table.GetCategoryManager() != nullptr))
            __builtin_trap();
        Snapshot(table);
        return;
    }
    const std::string before = Snapshot(table);
    if (table.GetRecordCount() > kSaveLimit || table.Save() != TableOK)
        return;
    // What was written reads back as it was read.
    CTessalyTable again;
    if (again.OpenFrom(path, CFile::modeReadWrite, password) != TableOK || Snapshot(again) != before)
        __builtin_trap();
}

void ExerciseConduit()
{
    const std::string dir = InputFolder(), in = InputName("datafile"), out = in + ".out";
    CDesktopDb db("Tessaly-Vqxa", dir.c_str(), in.c_str(), 3, 1, nullptr);
    if (db.Open() != 0 || db.Load() != 0)
        return;
    db.LoadCategories();
    if (!db.GetHeader())
        return;
    // Written as the conduit writes it, then read again.
    CDesktopDb written("Tessaly-Vqxa", dir.c_str(), out.c_str(), 3, 2, nullptr);
    for (int i = 0; i < db.GetEnd(); ++i)
        if (const CSyncRecord* r = db.GetAt(i)) {
            CSyncRecord copy(*r);
            written.AddRecord(copy);
        }
    written.SetAppInfo("x", db.GetAppInfoData(), db.GetAppInfoLength(), 0);
    SyncDbDescriptor desc = {};
    written.SetHeaderFrom(desc);
    if (written.WriteFile() != 0)
        std::abort();
    CDesktopDb back("Tessaly-Vqxa", dir.c_str(), out.c_str(), 3, 1, nullptr);
    if (back.Open() != 0 || back.Load() != 0 || back.GetRecordCount() != db.GetRecordCount())
        std::abort();
    for (int i = 0; i < back.GetRecordCount(); ++i) {
        CSyncRecord a, b;
        db.ReadCopyByOrdinal(i, a);
        back.ReadCopyByOrdinal(i, b);
        if (a.Compare(b) != 0 || a.GetID() != b.GetID())
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Written anew for each reader: a save may have changed it.
    for (int reader = 0; reader < 3 && WriteInput("datafile", data, size); ++reader)
        reader == 2 ? ExerciseConduit() : ExerciseTable(reader == 1 ? "secret" : nullptr);
    // Removed each time: libFuzzer may end the process without exit handlers.
    for (const char* suffix : {"", ".new", ".out", ".out.new"})
        std::remove((InputPath("datafile") + suffix).c_str());
    return 0;
}
