// libFuzzer target for the desktop data file reader: the input is written to
// a file of this process and opened as a memo table with no password and with
// "secret". Whatever opens is read through every accessor; a small table is
// also saved, and what Save wrote must open again with the same memos.
#include "FuzzFile.h"
#include "TessalyTable.h"
#include "Category.h"

#include <vector>

using namespace NorvaneCommon;

namespace {

const int kSaveLimit = 8;   // records; saving is slow next to reading

struct Memo {
    std::string text;
    BYTE leading;
    DWORD id, category;
    bool update, deleted, archived, isNew, isPrivate;
    bool operator==(const Memo& o) const
    {
        return text == o.text && leading == o.leading && id == o.id && category == o.category &&
               update == o.update && deleted == o.deleted && archived == o.archived && isNew == o.isNew &&
               isPrivate == o.isPrivate;
    }
};

std::vector<Memo> ReadMemos(CTessalyTable& table)
{
    std::vector<Memo> memos;
    for (LONG i = 0; i < table.GetRecordCount(); ++i) {
        CTessalyRecord* r = static_cast<CTessalyRecord*>(table.GetRecord(i));
        if (!r || r->GetIndex() != static_cast<DWORD>(i))
            __builtin_trap();
        CString text;
        r->GetMemo(text);
        memos.push_back({std::string(text.GetString(), text.GetLength()), r->GetLeadingByte(), r->GetID(),
                         r->GetCategory(), r->IsUpdate() != 0, r->IsDeleted() != 0, r->IsArchived() != 0,
                         r->IsNew() != 0, r->IsPrivate() != 0});
    }
    return memos;
}

std::vector<DWORD> WalkCategories(CTessalyTable& table)
{
    std::vector<DWORD> ids;
    CCategoryMgr* mgr = table.GetCategoryManager();
    if (!mgr)
        return ids;
    CCategory* cat = nullptr;
    for (CatError err = mgr->FindFirst(cat); err == CatErrNone; err = mgr->FindNext(cat)) {
        ids.push_back(cat->GetIndex() << 8 | cat->GetID());
        CCategory* found = nullptr;
        if (mgr->FindName(cat->GetName(), found) != CatErrNone || mgr->FindID(static_cast<int>(cat->GetID()), found) != CatErrNone)
            __builtin_trap();
        if (ids.size() > 16)
            __builtin_trap();
    }
    if (static_cast<int>(ids.size()) != mgr->GetCount())
        __builtin_trap();
    return ids;
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
    if (result == TableBadPassword) {
        WalkCategories(table);
        if (table.GetRecordCount() != 0)
            __builtin_trap();
        return;
    }
    if (result != TableOK) {
        if (table.GetRecordCount() != 0 || table.GetCategoryManager() != nullptr)
            __builtin_trap();
        return;
    }
    std::vector<Memo> memos = ReadMemos(table);
    std::vector<DWORD> categories = WalkCategories(table);
    if (table.GetRecordCount() > kSaveLimit)
        return;

    LONG saved = table.Save();
    if (saved != TableOK)
        return;
    // What was written reads back as it was read.
    CTessalyTable again;
    if (again.OpenFrom(path, CFile::modeReadWrite, password) != TableOK)
        __builtin_trap();
    if (!(ReadMemos(again) == memos) || WalkCategories(again) != categories)
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
