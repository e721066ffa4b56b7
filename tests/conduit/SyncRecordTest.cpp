// The conduit's record: conversion from and to the Sync Manager's raw
// record, comparison, copies and the log's description of it.
#include "SyncRecord.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(SyncRecordTest, ConvertsFromAndToTheRawRecord)
{
    unsigned char data[] = {1, 2, 3, 4, 5};
    SyncRawRecord raw = {};
    raw.dbHandle = 3;
    raw.recordId = 0xABCDEF;
    raw.recordIndex = 9;
    raw.attributes = SYNC_REC_DELETED | SYNC_REC_ARCHIVED | SYNC_REC_DIRTY | SYNC_REC_PRIVATE;
    raw.category = 7;
    raw.dataLength = 5;
    raw.bufferSize = 5;
    raw.pData = data;

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
    SyncRawRecord back = {};
    back.attributes = 0xFF;   // cleared and rebuilt
    back.pData = out;
    back.bufferSize = 5;      // the data fits a buffer of its own length exactly
    rec.SetPositionOverride(4);
    ASSERT_EQ(0, rec.ToRaw(back));
    EXPECT_EQ(0xABCDEFu, +back.recordId);
    EXPECT_EQ(4, +back.recordIndex) << "the override wins over the position";
    EXPECT_EQ(SYNC_REC_DELETED | SYNC_REC_ARCHIVED | SYNC_REC_DIRTY | SYNC_REC_PRIVATE, +back.attributes);
    EXPECT_EQ(7, +back.category);
    EXPECT_EQ(5u, +back.dataLength);
    EXPECT_EQ(0, std::memcmp(out, "\x01\x02\x03\x04\x05", 5));
    back.bufferSize = 4;
    EXPECT_EQ(CONDUIT_BUFFER_TOO_SMALL, rec.ToRaw(back));

    rec.SetFlags(0);
    rec.SetPrivate(0);
    rec.SetData(nullptr, 0);
    ASSERT_EQ(0, rec.ToRaw(back));
    EXPECT_EQ(0, +back.attributes);
    EXPECT_EQ(0u, +back.dataLength);
}

TEST(SyncRecordTest, ComparesLengthBytesCategoryAndPrivateInThatOrder)
{
    struct Case {
        const char* data;
        DWORD category;
        int isPrivate;
        int expected;
    } const cases[] = {{"abc", 0, 0, 0}, {"abc", 2, 1, 3}, {"abc", 0, 1, 4}, {"abd", 2, 1, 2}, {"abcd", 2, 1, 1}};
    CSyncRecord a;
    a.SetData("abc", 3);
    for (const Case& c : cases) {
        CSyncRecord b;
        b.SetID(1);   // IDs and flags are not contents
        b.SetFlags(CSyncRecord::StatusModified);
        b.SetData(c.data, static_cast<DWORD>(std::strlen(c.data)));
        b.SetCategory(c.category);
        b.SetPrivate(c.isPrivate);
        EXPECT_EQ(c.expected, a.Compare(b)) << c.data << ' ' << c.category << ' ' << c.isPrivate;
    }
}

TEST(SyncRecordTest, CopiesOwnTheirDataAndResettingTheStatusKeepsTheRest)
{
    CSyncRecord r;
    r.SetModified(1);
    r.SetUnvisited(1);
    r.SetData("xyz", 3);
    r.SetID(5);
    CSyncRecord copy(r);
    r.SetData("other", 5);
    copy = copy;
    ASSERT_EQ(3u, copy.GetDataLength());
    EXPECT_EQ(0, std::memcmp(copy.GetData(), "xyz", 3));
    EXPECT_TRUE(copy.IsUnvisited());
    copy.ResetStatus();
    EXPECT_EQ(0u, copy.GetFlags());
    EXPECT_FALSE(copy.IsUnvisited());
    EXPECT_EQ(5u, copy.GetID());
}

TEST(SyncRecordTest, LogDescriptionUsesTheIdWhenThereIsOneElseThePosition)
{
    const DWORD none = CSyncRecord::NoID;
    struct Case {
        DWORD id;
        LONG position;
        unsigned message;
        DWORD value;
    } const cases[] = {
        {none, -1, 3379, none},   // a fresh record: neither ID nor position
        {none, 12, 3380, 12},
        {0, 12, 3380, 12},        // a new desktop record has no ID yet
        {77, 12, 3379, 77},
    };
    for (const Case& c : cases) {
        CSyncRecord r;
        if (c.id != none)
            r.SetID(c.id);
        if (c.position != -1)
            r.SetPosition(c.position);
        DWORD v = 1;
        EXPECT_EQ(c.message, r.GetDescriptionMessage(&v)) << c.id;
        EXPECT_EQ(c.value, v) << c.id;
    }
}

} // namespace
