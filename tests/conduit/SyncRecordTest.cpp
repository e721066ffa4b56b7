// The conduit's record: raw conversion both ways, comparison, copies, log description.
#include "SyncRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(SyncRecordTest, ConvertsFromAndToTheRawRecord)
{
    unsigned char data[] = {1, 2, 3, 4, 5};
    const uint8_t all = SYNC_REC_DELETED | SYNC_REC_ARCHIVED | SYNC_REC_DIRTY | SYNC_REC_PRIVATE;
    // Handle 3, ID 0xABCDEF, index 9, category 7, 5 bytes in a buffer of 5.
    SyncRawRecord raw = {3, 0xABCDEF, 9, all, 7, 0, 5, 5, data, 0};

    CSyncRecord rec;
    ASSERT_EQ(0, rec.FromRaw(raw));
    EXPECT_EQ(0xABCDEFu, rec.GetID());
    EXPECT_EQ(9, rec.GetPosition());
    EXPECT_EQ(7u, rec.GetCategory());
    EXPECT_EQ(3, rec.GetHandle());
    EXPECT_EQ(CSyncRecord::StatusDeleted | CSyncRecord::StatusArchived | CSyncRecord::StatusModified, rec.GetFlags());
    EXPECT_TRUE(rec.IsPrivate());
    ASSERT_EQ(5u, rec.GetDataLength());
    data[0] = 99;
    EXPECT_EQ(1, rec.GetData()[0]) << "the data is copied";

    // A raw record claiming more data than its buffer holds is refused.
    raw.dataLength = 6;
    CSyncRecord refused;
    EXPECT_EQ(CONDUIT_BUFFER_TOO_SMALL, refused.FromRaw(raw));
    EXPECT_EQ(0u, refused.GetDataLength());

    unsigned char out[8] = {};
    // Attributes cleared and rebuilt; the data fits a buffer of its own length exactly.
    SyncRawRecord back = {0, 0, 0, 0xFF, 0, 0, 0, 5, out, 0};
    rec.SetPositionOverride(4);
    ASSERT_EQ(0, rec.ToRaw(back));
    EXPECT_EQ(0xABCDEFu, +back.recordId);
    EXPECT_EQ(4, +back.recordIndex) << "the override wins over the position";
    EXPECT_EQ(all, +back.attributes);
    EXPECT_EQ(7, +back.category);
    EXPECT_EQ(5u, +back.dataLength);
    EXPECT_EQ(0, std::memcmp(out, "\x01\x02\x03\x04\x05", 5));
    back.bufferSize = 4;
    EXPECT_EQ(CONDUIT_BUFFER_TOO_SMALL, rec.ToRaw(back));
}

TEST(SyncRecordTest, ComparesLengthBytesCategoryAndPrivateInThatOrder)
{
    CSyncRecord a, b;
    a.SetData("abc", 3);
    b.SetData("abc", 3);
    b.SetID(1);
    b.SetFlags(CSyncRecord::StatusModified);
    EXPECT_EQ(0, a.Compare(b)) << "IDs and flags are not contents";
    b.SetPrivate(1);
    EXPECT_EQ(4, a.Compare(b));
    b.SetCategory(2);
    EXPECT_EQ(3, a.Compare(b));
    b.SetData("abd", 3);
    EXPECT_EQ(2, a.Compare(b));
    b.SetData("abcd", 4);
    EXPECT_EQ(1, a.Compare(b));
}

TEST(SyncRecordTest, CopiesOwnTheirDataAndTheLogDescribesByIdElsePosition)
{
    CSyncRecord r;
    r.SetData("xyz", 3);
    CSyncRecord copy(r);
    r.SetData("other", 5);
    copy = copy;
    EXPECT_EQ("xyz", std::string(reinterpret_cast<const char*>(copy.GetData()), copy.GetDataLength()));

    DWORD v = 1;
    EXPECT_EQ(3379u, r.GetDescriptionMessage(&v)) << "neither ID nor position";
    r.SetPosition(12);
    EXPECT_EQ(3380u, r.GetDescriptionMessage(&v));
    EXPECT_EQ(12u, v);
    r.SetID(0);
    EXPECT_EQ(3380u, r.GetDescriptionMessage(&v)) << "a new desktop record has no ID yet";
    r.SetID(77);
    EXPECT_EQ(3379u, r.GetDescriptionMessage(&v));
    EXPECT_EQ(77u, v);
}

} // namespace
