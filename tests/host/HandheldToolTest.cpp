// The handheld tool, run in-process: the database it makes, memos the data
// core can decipher, the handheld's ways of changing, deleting and archiving,
// categories, the JSON listing and the exit statuses.
#include "HandheldTool.h"
#include "MemoDb.h"
#include "PdbReference.h"
#include "TestFiles.h"

#include "Blowfish.h"
#include "Md5.h"
#include "TessalyTable.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tessaly;

namespace {

// "パス" and "ヒント" in UTF-8 and in Shift-JIS.
const char kPassUtf8[] = "\xE3\x83\x91\xE3\x82\xB9";
const char kPassSjis[] = "\x83\x70\x83\x58";
const char kHintUtf8[] = "\xE3\x83\x92\xE3\x83\xB3\xE3\x83\x88";
const char kHintSjis[] = "\x83\x71\x83\x93\x83\x67";

class HandheldToolTest : public ::testing::Test {
protected:
    int Run(std::vector<std::string> args, const std::string& input = std::string())
    {
        args.insert(args.begin(), {"handheld", dir.Path()});
        out.clear();
        err.clear();
        return RunHandheld(args, [&] { return input; }, out, err);
    }
    std::string DbFile() const { return dir.File("Tessaly-Vqxa.pdb"); }
    ref::Database Db() { return ref::Read(testsupport::ReadBytes(DbFile())); }
    void Put(const ref::Database& db) { testsupport::WriteBytes(DbFile(), ref::Write(db)); }
    // The memo as the desktop's data core reads it from the record's data.
    std::unique_ptr<NorvaneCommon::CTessalyRecord> Decipher(const ref::Bytes& data, const char* password = kPassSjis)
    {
        std::vector<unsigned char> stored(40 + data.size());
        auto* s = reinterpret_cast<NorvaneCommon::StorageRecordType*>(stored.data());
        s->dwRecordSize = static_cast<DWORD>(stored.size());
        s->wTag = 0x1002;
        s->dwDataOffset = 40;
        s->dwDataLength = static_cast<DWORD>(data.size());
        std::memcpy(stored.data() + 40, data.data(), data.size());
        NorvaneCommon::CBlowfishCoder coder;
        if (password)
            coder.SetPassword(password);
        auto memo = std::make_unique<NorvaneCommon::CTessalyRecord>(s, password ? &coder : nullptr);
        EXPECT_TRUE(memo->IsIntact());
        return memo;
    }
    testsupport::TempDir dir;
    std::string out, err;
};

TEST_F(HandheldToolTest, CreatedDatabasesAndAddedMemosAreWhatTheDesktopReads)
{
    ASSERT_EQ(0, Run({"create", "--password", kPassUtf8, "--hint", kHintUtf8})) << err;
    ref::Database db = Db();
    EXPECT_EQ("Tessaly-Vqxa Vqxa DATA", db.name + " " + db.creator + " " + db.type);
    // Unfiled alone (not renamed, ID 0), the kept bytes, the password's digest, the hint.
    ref::Bytes want(324, 0);
    std::memcpy(&want[2], "Unfiled", 7);
    NorvaneCommon::CMd5::Digest(kPassSjis, std::strlen(kPassSjis), &want[308]);
    want.insert(want.end(), kHintSjis, kHintSjis + sizeof kHintSjis);
    EXPECT_EQ(want, db.appInfo);
    EXPECT_EQ(HandheldNotFound, Run({"create"})) << "an existing database stays";

    ASSERT_EQ(0, Run({"category", "add", "Work"}));
    const std::string text = "first\r\n" + std::string(kHintUtf8) + "\n";
    ASSERT_EQ(0, Run({"add", "--password", kPassUtf8, "--category", "1", "--private"}, text)) << err;
    db = Db();
    ASSERT_EQ(1u, db.records.size());
    EXPECT_EQ(std::to_string(db.records[0].id) + "\n", out);
    EXPECT_EQ(0x40 | 0x10 | 1, db.records[0].attr) << "dirty, private, category 1";
    auto memo = Decipher(db.records[0].data);
    EXPECT_EQ(0x20, memo->GetLeadingByte());
    EXPECT_STREQ((std::string("first\r\n") + kHintSjis).c_str(), memo->GetMemo().GetString());

    EXPECT_EQ(HandheldPassword, Run({"add"}, "x")) << "a database with a password needs it";
    EXPECT_EQ(HandheldPassword, Run({"add", "--password", "wrong"}, "x"));
    EXPECT_EQ(HandheldNotFound, Run({"add", "--password", kPassUtf8, "--category", "2"}, "x"));
    EXPECT_EQ(1u, Db().records.size());
}

// Memo data is padded to whole blocks with room for the NUL, enciphered only
// with a password; the longest memo (65,477 bytes) and one byte under it fit
// a record, one byte over is refused and changes nothing.
TEST_F(HandheldToolTest, MemoLengthsUpToTheLimit)
{
    for (const char* password : {static_cast<const char*>(nullptr), kPassUtf8}) {
        SCOPED_TRACE(password ? "with password" : "without password");
        testsupport::RemoveFile(DbFile());
        std::vector<std::string> add = {"create"};
        if (password)
            add.insert(add.end(), {"--password", password});
        ASSERT_EQ(0, Run(add));
        add[0] = "add";
        const struct {
            std::size_t text, stored;
        } cases[] = {{0, 8}, {5, 8}, {6, 16}, {65476, 65480}, {65477, 65480}, {65478, 0}};
        std::size_t count = 0;
        for (const auto& c : cases) {
            const std::string text(c.text, 'm');
            const ref::Bytes before = testsupport::ReadBytes(DbFile());
            if (!c.stored) {
                EXPECT_EQ(HandheldUsage, Run(add, text)) << c.text;
                EXPECT_EQ(before, testsupport::ReadBytes(DbFile()));
                continue;
            }
            ASSERT_EQ(0, Run(add, text)) << c.text << err;
            ref::Database db = Db();
            ASSERT_EQ(++count, db.records.size());
            const ref::Bytes& data = db.records.back().data;
            EXPECT_EQ(c.stored, data.size()) << c.text;
            EXPECT_EQ(password != nullptr, data[0] != 0x20) << "enciphered only with a password";
            EXPECT_EQ(text, Decipher(data, password ? kPassSjis : nullptr)->GetMemo().GetString()) << c.text;
        }
    }
}

TEST_F(HandheldToolTest, EditDeleteAndArchiveAsTheHandheldDoesThem)
{
    ASSERT_EQ(0, Run({"create", "--password", kPassUtf8}));
    // A memo that the handheld stored with a leading byte of its own, already synchronised.
    ref::Database db = Db();
    const std::string pass = kPassSjis;
    db.records = {{0x02, 500, EncodeMemo(0x41, "old", &pass)}, {0, 501, EncodeMemo(0x20, "two", &pass)},
                  {0, 502, EncodeMemo(0x20, "three", &pass)}};
    db.seed = 0xFFFFFF;
    Put(db);
    ASSERT_EQ(0, Run({"edit", "500", "--password", kPassUtf8}, "new\ntext\n")) << err;
    ASSERT_EQ(0, Run({"delete", "501"}));
    ASSERT_EQ(0, Run({"archive", "502"}));
    db = Db();
    EXPECT_EQ(0x40 | 0x02, db.records[0].attr) << "dirty, category kept";
    auto memo = Decipher(db.records[0].data);
    EXPECT_EQ(0x41, memo->GetLeadingByte()) << "the leading byte stays";
    EXPECT_STREQ("new\r\ntext", memo->GetMemo().GetString());
    EXPECT_EQ(0xC0, db.records[1].attr);
    EXPECT_TRUE(db.records[1].data.empty()) << "a deleted memo loses its data";
    EXPECT_EQ(0xC0, db.records[2].attr);
    EXPECT_EQ(EncodeMemo(0x20, "three", &pass), db.records[2].data) << "an archived memo keeps it";

    // New IDs stay below 2^24: the seed's last value is used, then it wraps.
    for (const char* id : {"16777215\n", "1\n"}) {
        ASSERT_EQ(0, Run({"add", "--password", kPassUtf8}, "x"));
        EXPECT_EQ(id, out);
    }
    EXPECT_EQ(0, Run({"delete", "16777215"})) << "the largest ID";
    EXPECT_EQ(HandheldNotFound, Run({"edit", "501", "--password", kPassUtf8}, "x")) << "deleted";
    EXPECT_EQ(HandheldNotFound, Run({"delete", "999"}));
    EXPECT_EQ(HandheldUsage, Run({"delete", "12x"}));
    EXPECT_EQ(HandheldUsage, Run({"delete", "16777216"}));
}

TEST_F(HandheldToolTest, CategoriesAreAddedRenamedAndDeletedAsOnTheHandheld)
{
    ASSERT_EQ(0, Run({"create"}));
    ref::Database db = Db();
    db.appInfo[274] = 126;   // the last category ID given
    Put(db);
    for (const char* name : {"Work", "Home"})
        ASSERT_EQ(0, Run({"category", "add", name}));
    EXPECT_EQ("2\n", out);
    ASSERT_EQ(0, Run({"add", "--category", "2"}, "at home"));
    ASSERT_EQ(0, Run({"category", "rename", "1", "Job"}));
    db = Db();
    EXPECT_STREQ("Job", reinterpret_cast<const char*>(&db.appInfo[2 + 16]));
    EXPECT_EQ(0x02, db.appInfo[1]) << "bit 1 of the big-endian renamed flags";
    EXPECT_EQ(127, db.appInfo[258 + 1]);
    EXPECT_EQ(1, db.appInfo[258 + 2]) << "IDs go up to 127, then start again at 1";

    // Deleting a category files its memos under Unfiled, as changes.
    db.records[0].attr = 2;   // synchronised since
    Put(db);
    ASSERT_EQ(0, Run({"category", "delete", "2"}));
    db = Db();
    EXPECT_EQ(0, db.appInfo[2 + 32]);
    EXPECT_EQ(0x02, db.appInfo[1]) << "the deleted category's renamed flag is clear";
    EXPECT_EQ(0x40, db.records[0].attr);

    EXPECT_EQ(HandheldUsage, Run({"category", "add", "job"})) << "names differ in more than case";
    EXPECT_EQ(HandheldUsage, Run({"category", "add", "0123456789abcdef"})) << "16 bytes";
    EXPECT_EQ(HandheldUsage, Run({"category", "rename", "0", "x"})) << "Unfiled stays";
    EXPECT_EQ(HandheldNotFound, Run({"category", "delete", "7"}));
    for (int i = 2; i < 16; ++i)
        ASSERT_EQ(0, Run({"category", "add", "c" + std::to_string(i)}));
    EXPECT_EQ(HandheldNotFound, Run({"category", "add", "one more"}));
}

TEST_F(HandheldToolTest, ListsTheDatabaseAsJson)
{
    ASSERT_EQ(0, Run({"create", "--password", kPassUtf8, "--hint", kHintUtf8}));
    ASSERT_EQ(0, Run({"add", "--password", kPassUtf8, "--private"}, "a \"quoted\"\nline"));
    ASSERT_EQ(0, Run({"add", "--password", kPassUtf8}, "gone"));
    ASSERT_EQ(0, Run({"delete", "2"}));
    ASSERT_EQ(0, Run({"list", "--password", kPassUtf8, "--json"}));
    EXPECT_EQ(std::string("{\"database\": \"Tessaly-Vqxa\", \"creator\": \"Vqxa\", \"password_set\": true, \"hint\": \"") +
                  kHintUtf8 +
                  "\", \"categories\": [{\"index\": 0, \"id\": 0, \"name\": \"Unfiled\", \"renamed\": false}], "
                  "\"records\": [{\"index\": 0, \"id\": 1, \"category\": 0, \"dirty\": true, \"deleted\": false, "
                  "\"archived\": false, \"private\": true, \"text\": \"a \\\"quoted\\\"\\nline\"}, "
                  "{\"index\": 1, \"id\": 2, \"category\": 0, \"dirty\": true, \"deleted\": true, \"archived\": false, "
                  "\"private\": false, \"text\": null}]}\n",
              out);
    ASSERT_EQ(0, Run({"list", "--json"}));
    EXPECT_NE(std::string::npos, out.find("\"private\": true, \"text\": null}")) << "no password, no text";
    EXPECT_EQ(HandheldPassword, Run({"list", "--json", "--password", "nope"}));
}

TEST_F(HandheldToolTest, ExitStatusesTellWhatWentWrong)
{
    const std::vector<std::string> usage[] = {{}, {"frobnicate"}, {"list"}, {"edit"}, {"add", "--category", "16"},
                                              {"add", "--hint", "x"}};
    for (const auto& args : usage)
        EXPECT_EQ(HandheldUsage, Run(args)) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(HandheldNotFound, Run({"list", "--json"})) << "no database yet";

    testsupport::WriteBytes(DbFile(), ref::Bytes(40, 0));
    EXPECT_EQ(HandheldDamaged, Run({"list", "--json"}));
    EXPECT_EQ(HandheldDamaged, Run({"add"}, "x"));
    EXPECT_EQ(ref::Bytes(40, 0), testsupport::ReadBytes(DbFile())) << "left as it was";
    // A database without a memo application-info block is damaged for this tool.
    Put(ref::Database());
    EXPECT_EQ(HandheldDamaged, Run({"list", "--json"}));
}

} // namespace
