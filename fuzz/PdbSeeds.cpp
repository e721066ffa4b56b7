// pdb_seeds DIR: writes a few handheld databases as seeds for the .pdb fuzzer.
#include "MemoDb.h"
#include "PdbFile.h"

#include <cstdio>
#include <string>

using namespace tessaly;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pdb_seeds DIR\n");
        return 64;
    }
    const std::string dir = argv[1];
    const std::string password = "secret";
    PdbDatabase memo = NewMemoDatabase(&password, "hint");
    AddCategory(memo.appInfo, "Work");
    const char* texts[] = {"", "one", "two\nlines", "a longer memo that spans several cipher blocks"};
    for (int i = 0; i < 4; ++i) {
        PdbRecord r;
        r.uniqueId = NextUniqueId(memo);
        r.attributes = static_cast<std::uint8_t>(0x40 | (i & 1));
        r.data = EncodeMemo(0x20, texts[i], i % 2 ? &password : nullptr);
        memo.records.push_back(r);
    }
    memo.records[3].attributes |= 0x80;           // archived
    PdbRecord deleted;
    deleted.uniqueId = NextUniqueId(memo);
    deleted.attributes = 0xC0;
    memo.records.push_back(deleted);
    memo.hasSortInfo = true;
    memo.sortInfo = {1, 2, 3};

    PdbDatabase plain = NewMemoDatabase(nullptr, "");
    PdbDatabase resources;
    resources.name = "Resources";
    resources.attributes = kPdbAttrResource;
    PdbRecord res;
    res.resourceType = FourCC("tSTR");
    res.resourceId = 1000;
    res.data = {'h', 'i', 0};
    resources.records.push_back(res);

    int failures = 0;
    failures += WritePdbFile(dir + "/memo.pdb", memo) != PdbResult::OK;
    failures += WritePdbFile(dir + "/plain.pdb", plain) != PdbResult::OK;
    failures += WritePdbFile(dir + "/resources.prc", resources) != PdbResult::OK;
    return failures ? 1 : 0;
}
