// libFuzzer target for the desktop data file reader: the input is written to
// a file of this process and opened as a memo table with no password and with
// "secret". Whatever opens is read through every accessor; a small table is
// also saved, and what Save wrote must open again with the same memos.
#include "FuzzFile.h"
#include "TessalyTable.h"
#include "Category.h"

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

void Exercise(const uint8_t* data, size_t size, const char* password)
{
    if (!WriteInput("openfrom", data, size))
        return;
    CString path(InputPath("openfrom").c_str());
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Exercise(data, size, nullptr);
    Exercise(data, size, "secret");
    // Removed each time: libFuzzer may end the process without exit handlers.
    std::remove(InputPath("openfrom").c_str());
    std::remove((InputPath("openfrom") + ".new").c_str());
    return 0;
}
