// fuzz_seeds datafile|pdb DIR: writes a few well-formed desktop data files or
// handheld databases into DIR, as starting points for the fuzzers.
#include "shared/data/DataFileBuilder.h"
#include "MemoDb.h"
#include "PdbFile.h"

#include <cstdio>
#include <string>

using namespace testdata;

namespace {

DataFileBuilder Memos(const char* password)
{
    DataFileBuilder b;
    b.SetCategory(0, "Unfiled", 0);
    b.SetCategory(1, "Business", 1);
    b.SetCategory(2, "\x83\x81\x83\x82", 200);   // Shift-JIS
    b.SetCategory(15, "Sixteen chars!!!", 15);     // a slot without its NUL
    if (password)
        b.SetPassword(password);
    b.hint = "the usual one";
    b.AddMemo("", 1, 0, 0);
    b.AddMemo("two\nlines", 2, attr::Update | attr::Private, 1);
    b.AddMemo("\x83\x81\x83\x82\n\x83\x81\x83\x82", 3, attr::Deleted, 2).leading = 0x41;
    b.AddMemo("abcdef", 4, attr::Archived | attr::New, 15);
    return b;
}

bool DataFiles(const std::string& dir)
{
    DataFileBuilder empty, odd = Memos("secret"), many = Memos(nullptr), longest = Memos("secret");
    empty.hasAppInfo = false;
    odd.appInfoDataOffset = 64;
    odd.hasSortInfo = true;
    odd.sortInfo = ToBytes("sort-info bytes");
    odd.records[1].dataOffset = 48;
    RecordPlan tail = RecordPlan::Raw(ToBytes(std::string("\x20\0abcdefgh\0\0\0", 13)));
    tail.encipher = true;
    odd.records.push_back(tail);
    odd.trailing = ToBytes("left over");
    for (int i = 0; i < 12; ++i)
        many.AddMemo(std::string(static_cast<std::size_t>(i * 7), static_cast<char>('a' + i)), 100 + i);
    longest.records.resize(1);
    longest.records[0].text = std::string(65477, 'L');   // the longest memo a record holds

    const std::pair<const char*, DataFileBuilder> files[] = {
        {"plain.dat", Memos(nullptr)}, {"secret.dat", Memos("secret")}, {"other-password.dat", Memos("other")},
        {"empty-password.dat", Memos("")}, {"header-only.dat", empty}, {"odd-layout.dat", odd},
        {"many.dat", many}, {"longest.dat", longest},
    };
    bool ok = true;
    for (const auto& f : files)
        ok &= WriteFileBytes(dir + "/" + f.first, f.second.Build());
    return ok;
}

bool PdbFiles(const std::string& dir)
{
    using namespace tessaly;
    const std::string password = "secret";
    PdbDatabase memo = NewMemoDatabase(&password, "hint"), resources;
    AddCategory(memo.appInfo, "Work");
    // The last two with the 0x80 bit, the last without data.
    const char* texts[] = {"", "one", "two\nlines", "a longer memo that spans several cipher blocks", nullptr};
    const std::uint8_t attributes[] = {0x40, 0x41, 0x40, 0xC1, 0xC0};
    for (int i = 0; i < 5; ++i)
        memo.records.push_back({attributes[i], NextUniqueId(memo), 0, 0,
                                texts[i] ? EncodeMemo(0x20, texts[i], i % 2 ? &password : nullptr) : Bytes()});
    memo.hasSortInfo = true;
    memo.sortInfo = {1, 2, 3};
    resources.name = "Resources";
    resources.attributes = kPdbAttrResource;
    resources.records.push_back({0, 0, FourCC("tSTR"), 1000, {'h', 'i', 0}});
    return WritePdbFile(dir + "/memo.pdb", memo) == PdbResult::OK &&
           WritePdbFile(dir + "/plain.pdb", NewMemoDatabase(nullptr, "")) == PdbResult::OK &&
           WritePdbFile(dir + "/resources.prc", resources) == PdbResult::OK;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string kind = argc == 3 ? argv[1] : "";
    if (kind != "datafile" && kind != "pdb") {
        std::fprintf(stderr, "usage: %s datafile|pdb DIR\n", argv[0]);
        return 64;
    }
    if (kind == "pdb" ? PdbFiles(argv[2]) : DataFiles(argv[2]))
        return 0;
    std::fprintf(stderr, "%s: cannot write the seeds into %s\n", argv[0], argv[2]);
    return 1;
}
