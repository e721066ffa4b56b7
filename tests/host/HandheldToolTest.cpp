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
    ref::Database Db()
    {
        ref::Database db;
        std::string why;
        EXPECT_TRUE(ref::Read(testsupport::ReadBytes(DbFile()), db, why)) << why;
        return db;
    }
    // The memo as the desktop's data core reads it from the record's data.
    NorvaneCommon::CTessalyRecord* Decipher(const std::vector<std::uint8_t>& data, const char* password)
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
        return new NorvaneCommon::CTessalyRecord(s, password ? &coder : nullptr);
    }
    testsupport::TempDir dir;
    std::string out, err;
};

TEST_F(HandheldToolTest, CreateMakesTheMemoDatabaseWithItsApplicationInfo)
{
    ASSERT_EQ(0, Run({"create", "--password", kPassUtf8, "--hint", kHintUtf8})) << err;
    ref::Database db = Db();
    EXPECT_EQ("Tessaly-Vqxa", db.name);
    EXPECT_EQ("Vqxa", db.creator);
    EXPECT_EQ("DATA", db.type);
    EXPECT_TRUE(db.records.empty());
    ASSERT_TRUE(db.hasAppInfo);
    const std::vector<std::uint8_t>& a = db.appInfo;
    ASSERT_EQ(324u + std::strlen(kHintSjis) + 1, a.size());
    EXPECT_EQ(0, a[0] | a[1]) << "no category renamed";
    EXPECT_STREQ("Unfiled", reinterpret_cast<const char*>(&a[2]));
    for (int i = 1; i < 16; ++i)
        EXPECT_EQ(0, a[2 + 16 * i]) << "only Unfiled";
    EXPECT_EQ(0, a[258]);
    for (int i = 276; i < 308; ++i)
        EXPECT_EQ(0, a[i]);
    unsigned char digest[16];
    NorvaneCommon::CMd5::Digest(kPassSjis, std::strlen(kPassSjis), digest);
    EXPECT_EQ(0, std::memcmp(digest, &a[308], 16));
    EXPECT_STREQ(kHintSjis, reinterpret_cast<const char*>(&a[324]));

    EXPECT_EQ(HandheldNotFound, Run({"create"})) << "an existing database stays";

    testsupport::TempDir other;
    std::string out2, err2;
    ASSERT_EQ(0, RunHandheld({"handheld", other.Path(), "create"}, [] { return std::string(); }, out2, err2));
    ref::Database plain;
    std::string why;
    ASSERT_TRUE(ref::Read(testsupport::ReadBytes(other.File("Tessaly-Vqxa.pdb")), plain, why));
    for (int i = 308; i < 324; ++i)
        EXPECT_EQ(0, plain.appInfo[i]) << "no password, no digest";
}

TEST_F(HandheldToolTest, AddedMemosDecipherWithTheDataCore)
{
    ASSERT_EQ(0, Run({"create", "--password", kPassUtf8}));
    ASSERT_EQ(0, Run({"category", "add", "Work"}));
    ASSERT_EQ(0, Run({"add", "--password", kPassUtf8, "--category", "1", "--private"}, "first\r\n" + std::string(kHintUtf8) + "\n"))
        << err;
    const unsigned long id = std::stoul(out);
    ref::Database db = Db();
    ASSERT_EQ(1u, db.records.size());
    EXPECT_EQ(id, db.records[0].id);
    EXPECT_EQ(0x40 | 0x10 | 1, db.records[0].attr) << "dirty, private, category 1";
    EXPECT_EQ(0u, db.records[0].data.size() % 8);
    EXPECT_NE(0x20, db.records[0].data[0]) << "enciphered";

    std::unique_ptr<NorvaneCommon::CTessalyRecord> memo(Decipher(db.records[0].data, kPassSjis));
    EXPECT_TRUE(memo->IsIntact());
    EXPECT_EQ(0x20, memo->GetLeadingByte());
    EXPECT_STREQ((std::string("first\r\n") + kHintSjis).c_str(), memo->GetMemo().GetString());

    // Five bytes of text fill one block exactly; the second memo gets a new ID.
    ASSERT_EQ(0, Run({"add", "--password", kPassUtf8}, "12345"));
    EXPECT_NE(id, std::stoul(out));
    db = Db();
    EXPECT_EQ(8u, db.records[1].data.size());
    memo.reset(Decipher(db.records[1].data, kPassSjis));
    EXPECT_STREQ("12345", memo->GetMemo().GetString());

    EXPECT_EQ(HandheldPassword, Run({"add"}, "x")) << "a database with a password needs it";
    EXPECT_EQ(HandheldPassword, Run({"add", "--password", "wrong"}, "x"));
    EXPECT_EQ(HandheldNotFound, Run({"add", "--password", kPassUtf8, "--category", "2"}, "x"));
    EXPECT_EQ(2u, Db().records.size());
}

// Memo data is padded to whole blocks with room for the NUL; the longest
// memo (65,477 bytes) and one byte under it fit a record, one byte over is
// refused and changes nothing. The data core reads back what was stored.
TEST_F(HandheldToolTest, MemoLengthsUpToTheLimit)
{
    for (const char* password : {static_cast<const char*>(nullptr), kPassUtf8}) {
        SCOPED_TRACE(password ? "with password" : "without password");
        testsupport::RemoveFile(DbFile());
        ASSERT_EQ(0, Run(password ? std::vector<std::string>{"create", "--password", password}
                                  : std::vector<std::string>{"create"}));
        std::vector<std::string> add = {"add"};
        if (password)
            add.insert(add.end(), {"--password", password});
        const struct {
            std::size_t text, stored;
        } cases[] = {{0, 8}, {5, 8}, {6, 16}, {65476, 65480}, {65477, 65480}, {65478, 0}};
        std::size_t count = 0;
        for (const auto& c : cases) {
            const std::string text(c.text, 'm');
            if (!c.stored) {
                const auto before = testsupport::ReadBytes(DbFile());
                EXPECT_EQ(HandheldUsage, Run(add, text)) << c.text;
                EXPECT_EQ(before, testsupport::ReadBytes(DbFile()));
                continue;
            }
            ASSERT_EQ(0, Run(add, text)) << c.text << err;
            ref::Database db = Db();
            ASSERT_EQ(++count, db.records.size());
            const std::vector<std::uint8_t>& data = db.records.back().data;
            EXPECT_EQ(c.stored, data.size()) << c.text;
            EXPECT_EQ(password != nullptr, data[0] != 0x20) << "enciphered only with a password";
            std::unique_ptr<NorvaneCommon::CTessalyRecord> memo(Decipher(data, password ? kPassSjis : nullptr));
            EXPECT_TRUE(memo->IsIntact());
            EXPECT_EQ(text, memo->GetMemo().GetString()) << c.text;
        }
    }
}

TEST_F(HandheldToolTest, EditDeleteAndArchiveAsTheHandheldDoesThem)
{
    ASSERT_EQ(0, Run({"create", "--password", kPassUtf8}));
    // A memo that the handheld stored with a leading byte of its own, already synchronised.
    ref::Database db = Db();
    const std::string pass = kPassSjis;
    db.records.push_back({0x02, 500, EncodeMemo(0x41, "old", &pass)});
    db.records.push_back({0x00, 501, EncodeMemo(0x20, "two", &pass)});
    db.records.push_back({0x00, 502, EncodeMemo(0x20, "three", &pass)});
    testsupport::WriteBytes(DbFile(), ref::Write(db));

    ASSERT_EQ(0, Run({"edit", "500", "--password", kPassUtf8}, "new\ntext\n")) << err;
    db = Db();
    EXPECT_EQ(0x40 | 0x02, db.records[0].attr) << "dirty, category kept";
    std::unique_ptr<NorvaneCommon::CTessalyRecord> memo(Decipher(db.records[0].data, kPassSjis));
    EXPECT_EQ(0x41, memo->GetLeadingByte()) << "the leading byte stays";
    EXPECT_STREQ("new\r\ntext", memo->GetMemo().GetString());

    ASSERT_EQ(0, Run({"delete", "501"}));
    ASSERT_EQ(0, Run({"archive", "502"}));
    db = Db();
    EXPECT_EQ(0xC0, db.records[1].attr);
    EXPECT_TRUE(db.records[1].data.empty()) << "a deleted memo loses its data";
    EXPECT_EQ(0xC0, db.records[2].attr);
    EXPECT_EQ(EncodeMemo(0x20, "three", &pass), db.records[2].data) << "an archived memo keeps it";

    // New IDs stay below 2^24: the seed's last value is used, then it wraps.
    db = Db();
    db.seed = 0xFFFFFF;
    testsupport::WriteBytes(DbFile(), ref::Write(db));
    ASSERT_EQ(0, Run({"add", "--password", kPassUtf8}, "last"));
    EXPECT_EQ("16777215\n", out);
    ASSERT_EQ(0, Run({"add", "--password", kPassUtf8}, "wrapped"));
    EXPECT_EQ("1\n", out);

    EXPECT_EQ(HandheldNotFound, Run({"edit", "501", "--password", kPassUtf8}, "x")) << "deleted";
    EXPECT_EQ(HandheldNotFound, Run({"delete", "999"}));
    EXPECT_EQ(HandheldUsage, Run({"delete", "12x"}));
    EXPECT_EQ(HandheldUsage, Run({"delete", "16777216"}));
}

TEST_F(HandheldToolTest, CategoriesAreAddedRenamedAndDeletedAsOnTheHandheld)
{
    ASSERT_EQ(0, Run({"create"}));
    ASSERT_EQ(0, Run({"category", "add", "Work"}));
    EXPECT_EQ("1\n", out);
    ASSERT_EQ(0, Run({"category", "add", "Home"}));
    EXPECT_EQ("2\n", out);
    ASSERT_EQ(0, Run({"add", "--category", "2"}, "at home"));
    ASSERT_EQ(0, Run({"category", "rename", "1", "Job"}));
    ref::Database db = Db();
    EXPECT_STREQ("Job", reinterpret_cast<const char*>(&db.appInfo[2 + 16]));
    EXPECT_EQ(0x02, db.appInfo[1]) << "bit 1 of the big-endian renamed flags";
    EXPECT_EQ(1, db.appInfo[258 + 1]);
    EXPECT_EQ(2, db.appInfo[258 + 2]);

    // Deleting a category files its memos under Unfiled, as changes.
    db.records[0].attr = 2;   // synchronised since
    testsupport::WriteBytes(DbFile(), ref::Write(db));
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
    EXPECT_EQ(HandheldUsage, Run({}));
    EXPECT_EQ(HandheldUsage, Run({"frobnicate"}));
    EXPECT_EQ(HandheldUsage, Run({"list"})) << "--json is the only listing";
    EXPECT_EQ(HandheldUsage, Run({"edit"}));
    EXPECT_EQ(HandheldUsage, Run({"add", "--category", "16"}));
    EXPECT_EQ(HandheldUsage, Run({"add", "--hint", "x"}));
    EXPECT_EQ(HandheldNotFound, Run({"list", "--json"})) << "no database yet";

    testsupport::WriteBytes(DbFile(), std::vector<std::uint8_t>(40, 0));
    EXPECT_EQ(HandheldDamaged, Run({"list", "--json"}));
    EXPECT_EQ(HandheldDamaged, Run({"add"}, "x"));
    EXPECT_EQ(std::vector<std::uint8_t>(40, 0), testsupport::ReadBytes(DbFile())) << "left as it was";

    // A database without a memo application-info block is damaged for this tool.
    ref::Database bare;
    bare.name = "Tessaly-Vqxa";
    testsupport::WriteBytes(DbFile(), ref::Write(bare));
    EXPECT_EQ(HandheldDamaged, Run({"list", "--json"}));
}

TEST_F(HandheldToolTest, TheProgramRunsOnItsOwn)
{
    const std::string listing = dir.File("list.json");
    ASSERT_EQ(0, testsupport::RunBeside("handheld", {dir.Path(), "create", "--hint", "my hint"}, dir.File("out.txt")));
    ASSERT_EQ(0, testsupport::RunBeside("handheld", {dir.Path(), "list", "--json"}, listing));
    const std::vector<std::uint8_t> json = testsupport::ReadBytes(listing);
    EXPECT_NE(std::string::npos, std::string(json.begin(), json.end()).find("\"hint\": \"my hint\""));
    EXPECT_EQ(HandheldUsage, testsupport::RunBeside("handheld", {dir.Path(), "bogus"}, dir.File("out.txt")));
}

} // namespace
