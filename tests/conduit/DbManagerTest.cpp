// The record array every manager shares: places, lookup by ID, iteration, reordering.
#include "DbManager.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
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

// The IDs in place order, after checking that every record knows its
// position and that the lookup by ID gives the first position holding it.
std::vector<DWORD> Ids(const CDbManager& m)
{
    std::vector<DWORD> ids;
    std::map<DWORD, LONG> first;
    for (LONG p = 0; p < m.GetEnd(); ++p)
        if (CSyncRecord* r = m.GetAt(p)) {
            EXPECT_EQ(p, r->GetPosition());
            EXPECT_EQ(first.emplace(r->GetID(), p).first->second, m.FindPositionById(r->GetID())) << r->GetID();
            ids.push_back(r->GetID());
        }
    return ids;
}

// What the iteration just started yields.
std::vector<DWORD> Drain(CDbManager& m, LONG started)
{
    EXPECT_EQ(0, started);
    std::vector<DWORD> ids;
    CSyncRecord r;
    LONG e;
    while ((e = m.Next(r)) == 0)
        ids.push_back(r.GetID());
    EXPECT_EQ(CONDUIT_NO_MORE, e);
    return ids;
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
    for (DWORD id = 100; m.GetRecordCount() < 2000; ++id)
        ASSERT_EQ(0, m.AddToArray(Rec(id)));
    EXPECT_EQ(2000, m.GetCapacity());
    ASSERT_EQ(0, m.AddToArray(Rec(5000)));
    EXPECT_EQ(4000, m.GetCapacity());
    EXPECT_EQ(2001u, Ids(m).size());
    EXPECT_EQ(2000, m.FindPositionById(5000));
}

TEST(DbManagerTest, ReadsCopiesAndIteratesByEveryMode)
{
    CDbManager m(1, 3, nullptr);
    CSyncRecord r;
    EXPECT_EQ(CONDUIT_BAD_ITERATION, m.Next(r));
    CSyncRecord unvisited = Rec(3, 2, 1);
    unvisited.SetUnvisited(1);
    ASSERT_EQ(0, m.SetAt(5, Rec(50, 0, 2)));
    ASSERT_EQ(0, m.SetAt(3, unvisited));
    ASSERT_EQ(0, m.SetAt(2, Rec(2, 4, 2)));
    ASSERT_EQ(0, m.SetAt(0, Rec(1, 0, 2)));
    EXPECT_EQ(6, m.GetEnd());
    ASSERT_EQ(0, m.ReadCopyByOrdinal(3, r));
    EXPECT_EQ(50u, r.GetID());
    EXPECT_EQ(CONDUIT_NO_MORE, m.ReadCopyByOrdinal(4, r));
    ASSERT_EQ(0, m.ReadCopyById(2, r));
    EXPECT_EQ(2, r.GetPosition());
    r.SetCategory(9);
    EXPECT_EQ(2u, m.FindById(2)->GetCategory()) << "a copy";
    EXPECT_EQ(CONDUIT_NO_MORE, m.ReadCopyById(21, r));
    EXPECT_EQ(CONDUIT_NO_MORE, m.ReadCopyByIdAndCategory(50, 1, r));
    ASSERT_EQ(0, m.ReadCopyByIdAndCategory(50, 2, r));

    EXPECT_EQ((std::vector<DWORD>{1, 2, 3, 50}), Drain(m, m.StartAll())) << "empty places are skipped";
    EXPECT_EQ((std::vector<DWORD>{3}), Drain(m, m.StartUnvisited()));
    EXPECT_EQ((std::vector<DWORD>{1, 2, 50}), Drain(m, m.StartCategory(2)));
    EXPECT_EQ((std::vector<DWORD>{2}), Drain(m, m.StartChangedInCategory(2)));
    // 0x20 is the status code of a record without flags.
    EXPECT_EQ((std::vector<DWORD>{1, 3, 50}), Drain(m, m.StartStatusMask(0x20 | 0x02)));

    ASSERT_EQ(0, m.SetAt(2, Rec(21)));
    EXPECT_EQ(-1, m.FindPositionById(2)) << "a replaced record is gone from the lookup";
    EXPECT_EQ(2, m.FindPositionById(21));
    EXPECT_EQ(CONDUIT_BAD_INDEX, m.SetAt(-1, Rec(1)));

    // Changed first: each unchanged record swaps with the next changed one.
    CDbManager c(0, 3, nullptr);
    const DWORD flags[] = {0, 4, 0, 0, 1, 0, 8};
    for (DWORD i = 0; i < 7; ++i)
        ASSERT_EQ(0, c.AddToArray(Rec(i, flags[i])));
    const LONG started = c.StartChanged();
    EXPECT_EQ((std::vector<DWORD>{1, 4, 6, 3, 0, 5, 2}), Ids(c));
    EXPECT_EQ((std::vector<DWORD>{1, 4, 6}), Drain(c, started));
}

TEST(DbManagerTest, ReordersKeepTheLookupRight)
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
    m.ReorderUnvisitedFirst();
    EXPECT_EQ((std::vector<DWORD>{20, 10, 10, 30}), Ids(m));
    m.ReorderByCategory();
    EXPECT_EQ((std::vector<DWORD>{20, 30, 10, 10}), Ids(m));

    // By a list of IDs: all of them, each once, or nothing moves.
    DWORD list[4];
    int n = 3;
    EXPECT_EQ(CONDUIT_BUFFER_TOO_SMALL, m.GetIdList(list, &n));
    EXPECT_EQ(4, n);
    ASSERT_EQ(0, m.GetIdList(list, &n));
    EXPECT_EQ((std::vector<DWORD>{20, 30, 10, 10}), std::vector<DWORD>(list, list + 4));
    const std::pair<LONG, std::vector<DWORD>> refused[] = {
        {CONDUIT_ID_COUNT_MISMATCH, {10, 20, 30}}, {CONDUIT_ID_UNKNOWN, {10, 20, 30, 40}}, {CONDUIT_ID_UNKNOWN, {10, 20, 30, 30}}};
    for (const auto& r : refused)
        EXPECT_EQ(r.first, m.ReorderByIdList(r.second.data(), static_cast<int>(r.second.size())));
    EXPECT_EQ((std::vector<DWORD>{20, 30, 10, 10}), Ids(m)) << "a refused list changes nothing";
    const DWORD order[] = {10, 30, 10, 20};
    ASSERT_EQ(0, m.ReorderByIdList(order, 4));
    EXPECT_EQ((std::vector<DWORD>{10, 30, 10, 20}), Ids(m));
}

} // namespace
