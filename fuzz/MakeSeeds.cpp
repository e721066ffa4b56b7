// Writes a few well-formed desktop data files into the folder given on the
// command line, as starting points for FuzzOpenFrom. Built with the tests'
// DataFileBuilder, for instance:
//   g++ -std=c++17 -DNVCOMN_STATIC -Iafx/include -Ishared/data -Itests
//       fuzz/MakeSeeds.cpp tests/shared/data/DataFileBuilder.cpp
//       shared/data/Blowfish.cpp shared/data/Md5.cpp -o make_seeds
#include "shared/data/DataFileBuilder.h"

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

bool Write(const std::string& dir, const char* name, const DataFileBuilder& b)
{
    std::string path = dir + "/" + name;
    if (!WriteFileBytes(path, b.Build())) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;

    ok &= Write(dir, "plain.dat", Memos(nullptr));
    ok &= Write(dir, "secret.dat", Memos("secret"));
    ok &= Write(dir, "other-password.dat", Memos("other"));
    ok &= Write(dir, "empty-password.dat", Memos(""));

    DataFileBuilder empty;
    empty.hasAppInfo = false;
    ok &= Write(dir, "header-only.dat", empty);

    DataFileBuilder odd = Memos("secret");
    odd.appInfoDataOffset = 64;
    odd.hasSortInfo = true;
    odd.sortInfo = ToBytes("sort-info bytes");
    odd.records[1].dataOffset = 48;
    RecordPlan tail;
    tail.useData = true;
    tail.data = ToBytes(std::string("\x20\0abcdefgh\0\0\0", 13));
    odd.records.push_back(tail);
    odd.trailing = ToBytes("left over");
    ok &= Write(dir, "odd-layout.dat", odd);

    DataFileBuilder many = Memos(nullptr);
    for (int i = 0; i < 12; ++i)
        many.AddMemo(std::string(static_cast<std::size_t>(i * 7), static_cast<char>('a' + i)), 100 + i);
    ok &= Write(dir, "many.dat", many);

    // The longest memo a record can hold.
    DataFileBuilder longest = Memos("secret");
    longest.records.resize(1);
    longest.records[0].text = std::string(65477, 'L');
    ok &= Write(dir, "longest.dat", longest);

    return ok ? 0 : 1;
}
