// The record array every manager shares: places, the lookup by ID through
// every reordering, iteration and ID lists.
#include "DbManager.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CSyncRecord Rec(DWORD id, DWORD flags = 0, DWORD category = 0)
{
    CSyncRecord r;
    r.SetID(id);
    r.SetFlags(flags);
    r.SetCategory(category);
    r.SetData(&id, sizeof id);
    return r;
}

std::vector<DWORD> Ids(const CDbManager& m)
{
    std::vector<DWORD> ids;
    for (LONG p = 0; p < m.GetEnd(); ++p)
        if (CSyncRecord* r = m.GetAt(p))
            ids.push_back(r->GetID());
    return ids;
}

// Every record knows its position, and the lookup by ID gives the first
// position holding that ID.
void ExpectLookupConsistent(const CDbManager& m)
{
    for (LONG p = 0; p < m.GetEnd(); ++p) {
        CSyncRecord* r = m.GetAt(p);
        if (!r)
            continue;
        EXPECT_EQ(p, r->GetPosition());
        LONG first = 0;
        while (!m.GetAt(first) || m.GetAt(first)->GetID() != r->GetID())
            ++first;
        EXPECT_EQ(first, m.FindPositionById(r->GetID())) << r->GetID();
    }
}

TEST(DbManagerTest, AddsAtTheFirstEmptyPlaceAndGrowsBy2000)
{
    CDbManager m(1, 3, nullptr);
    LONG pos = -1;
    ASSERT_EQ(0, m.AddToArray(Rec(10), &pos));
    EXPECT_EQ(0, pos);
    EXPECT_EQ(2000, m.GetCapacity());
    ASSERT_EQ(0, m.AddToArray(Rec(11)));
    ASSERT_EQ(0, m.AddToArray(Rec(12)));
    ASSERT_EQ(0, m.RemoveAt(1));
    EXPECT_EQ(CONDUIT_NO_MORE, m.RemoveAt(1));
    EXPECT_EQ(CONDUIT_BAD_INDEX, m.RemoveAt(-1));
    ASSERT_EQ(0, m.AddToArray(Rec(13), &pos));
    EXPECT_EQ(1, pos) << "the hole is filled first";
    EXPECT_EQ(1, m.FindById(13)->GetPosition());
    for (DWORD id = 100; m.GetRecordCount() < 2000; ++id)
        ASSERT_EQ(0, m.AddToArray(Rec(id)));
    EXPECT_EQ(2000, m.GetCapacity());
    ASSERT_EQ(0, m.AddToArray(Rec(5000)));
    EXPECT_EQ(4000, m.GetCapacity());
    EXPECT_EQ(2000, m.FindPositionById(5000));
    ExpectLookupConsistent(m);
}

TEST(DbManagerTest, ReadsCopiesByIdOrdinalAndCategory)
{
    CDbManager m(1, 3, nullptr);
    ASSERT_EQ(0, m.SetAt(5, Rec(50, 0, 2)));
    ASSERT_EQ(0, m.SetAt(2, Rec(20, 0, 1)));
    EXPECT_EQ(6, m.GetEnd());
    CSyncRecord r;
    ASSERT_EQ(0, m.ReadCopyByOrdinal(1, r));
    EXPECT_EQ(50u, r.GetID());
    EXPECT_EQ(CONDUIT_NO_MORE, m.ReadCopyByOrdinal(2, r));
    ASSERT_EQ(0, m.ReadCopyById(20, r));
    EXPECT_EQ(2, r.GetPosition());
    r.SetCategory(9);
    EXPECT_EQ(1u, m.FindById(20)->GetCategory()) << "a copy";
    EXPECT_EQ(CONDUIT_NO_MORE, m.ReadCopyById(21, r));
    EXPECT_EQ(CONDUIT_NO_MORE, m.ReadCopyByIdAndCategory(50, 1, r));
    ASSERT_EQ(0, m.ReadCopyByIdAndCategory(50, 2, r));

    ASSERT_EQ(0, m.SetAt(2, Rec(21)));
    EXPECT_EQ(-1, m.FindPositionById(20)) << "a replaced record is gone from the lookup";
    EXPECT_EQ(2, m.FindPositionById(21));
    EXPECT_EQ(CONDUIT_BAD_INDEX, m.SetAt(-1, Rec(1)));
}

TEST(DbManagerTest, ChangedFirstSwapsEachUnchangedRecordWithTheNextChangedOne)
{
    CDbManager m(0, 3, nullptr);
    const DWORD flags[] = {0, 4, 0, 0, 1, 0, 8};
    for (DWORD i = 0; i < 7; ++i)
        ASSERT_EQ(0, m.AddToArray(Rec(i, flags[i])));
    ASSERT_EQ(0, m.StartChanged());
    EXPECT_EQ((std::vector<DWORD>{1, 4, 6, 3, 0, 5, 2}), Ids(m));
    ExpectLookupConsistent(m);
    std::vector<DWORD> seen;
    CSyncRecord r;
    LONG e;
    while ((e = m.Next(r)) == 0)
        seen.push_back(r.GetID());
    EXPECT_EQ(CONDUIT_NO_MORE, e);
    EXPECT_EQ((std::vector<DWORD>{1, 4, 6}), seen);
}

TEST(DbManagerTest, IteratesByEveryMode)
{
    CDbManager m(1, 3, nullptr);
    CSyncRecord r;
    EXPECT_EQ(CONDUIT_BAD_ITERATION, m.Next(r));
    ASSERT_EQ(0, m.SetAt(0, Rec(1, 0, 2)));
    ASSERT_EQ(0, m.SetAt(2, Rec(2, 4, 2)));
    CSyncRecord unvisited = Rec(3, 2, 1);
    unvisited.SetUnvisited(1);
    ASSERT_EQ(0, m.SetAt(3, unvisited));
    auto all = [&] {
        std::vector<DWORD> ids;
        while (m.Next(r) == 0)
            ids.push_back(r.GetID());
        return ids;
    };
    m.StartAll();
    EXPECT_EQ((std::vector<DWORD>{1, 2, 3}), all()) << "empty places are skipped";
    m.StartUnvisited();
    EXPECT_EQ((std::vector<DWORD>{3}), all());
    m.StartCategory(2);
    EXPECT_EQ((std::vector<DWORD>{1, 2}), all());
    m.StartChangedInCategory(2);
    EXPECT_EQ((std::vector<DWORD>{2}), all());
    m.StartStatusMask(0x20 | 0x02);
    EXPECT_EQ((std::vector<DWORD>{1, 3}), all()) << "0x20 is the code of a record without flags";
}

TEST(DbManagerTest, OtherOrdersKeepTheLookupRight)
{
    CDbManager m(1, 3, nullptr);
    const DWORD ids[] = {30, 10, 20, 10};
    const DWORD cats[] = {1, 3, 0, 2};
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(0, m.AddToArray(Rec(ids[i], 0, cats[i])));
    m.GetAt(2)->SetUnvisited(1);
    m.ReorderById();
    EXPECT_EQ((std::vector<DWORD>{10, 10, 20, 30}), Ids(m));
    EXPECT_EQ(3u, m.GetAt(0)->GetCategory()) << "equal IDs keep their order";
    ExpectLookupConsistent(m);
    m.ReorderByCategory();
    EXPECT_EQ((std::vector<DWORD>{20, 30, 10, 10}), Ids(m));
    m.ReorderUnvisitedFirst();
    EXPECT_EQ(20u, m.GetAt(0)->GetID());
    ExpectLookupConsistent(m);
}

TEST(DbManagerTest, IdListsAndReorderingByThem)
{
    CDbManager m(1, 3, nullptr);
    for (DWORD id : {5u, 6u, 7u})
        ASSERT_EQ(0, m.AddToArray(Rec(id)));
    DWORD ids[3];
    int n = 2;
    EXPECT_EQ(CONDUIT_BUFFER_TOO_SMALL, m.GetIdList(ids, &n));
    EXPECT_EQ(3, n);
    ASSERT_EQ(0, m.GetIdList(ids, &n));
    EXPECT_EQ(7u, ids[2]);

    const DWORD shorter[] = {7, 5};
    EXPECT_EQ(CONDUIT_ID_COUNT_MISMATCH, m.ReorderByIdList(shorter, 2));
    const DWORD unknown[] = {7, 5, 8};
    EXPECT_EQ(CONDUIT_ID_UNKNOWN, m.ReorderByIdList(unknown, 3));
    const DWORD twice[] = {7, 5, 5};
    EXPECT_EQ(CONDUIT_ID_UNKNOWN, m.ReorderByIdList(twice, 3)) << "each record once";
    EXPECT_EQ((std::vector<DWORD>{5, 6, 7}), Ids(m)) << "a refused list changes nothing";
    const DWORD order[] = {7, 5, 6};
    ASSERT_EQ(0, m.ReorderByIdList(order, 3));
    EXPECT_EQ((std::vector<DWORD>{7, 5, 6}), Ids(m));
    ExpectLookupConsistent(m);
}

TEST(DbManagerTest, CapabilitiesAndWhatTheBaseCannotDo)
{
    EXPECT_FALSE(CDbManager(0, CDbManager::CapCategories, nullptr).HasCategories())
        << "categories need the app-info block";
    EXPECT_TRUE(CDbManager(0, 3, nullptr).HasCategories());
    CDbManager m(0, 2, nullptr);
    EXPECT_TRUE(m.HasAppInfo());
    CSyncRecord r;
    EXPECT_EQ(CONDUIT_NOT_SUPPORTED, m.Open());
    EXPECT_EQ(CONDUIT_NOT_SUPPORTED, m.AddRecord(r));
}

} // namespace
