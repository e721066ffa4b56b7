#include "afx/afx.h"

#include <gtest/gtest.h>
#include <map>
#include <random>

namespace {

TEST(CPtrArray, GrowsInsertsAndRemoves)
{
    CPtrArray a;
    int v[1000];
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(a.Add(&v[i]), i);
    a.InsertAt(1, &v[500], 2);
    EXPECT_EQ(a.GetSize(), 1002);
    EXPECT_EQ(a[1], &v[500]);
    EXPECT_EQ(a[2], &v[500]);
    EXPECT_EQ(a[3], &v[1]);
    EXPECT_EQ(a[1001], &v[999]);
    a.RemoveAt(1, 2);
    EXPECT_EQ(a[1], &v[1]);
    EXPECT_EQ(a[999], &v[999]);
    a.RemoveAt(990, 100);   // past the end: only what is there
    EXPECT_EQ(a.GetSize(), 990);
    a.SetSize(995);
    EXPECT_EQ(a[994], nullptr);
}

// The map behaves like a std::map under random operations and iterates over
// every key exactly once.
TEST(CMapWordToPtr, MatchesAReferenceMap)
{
    CMapWordToPtr m;
    std::map<WORD, void*> ref;
    std::mt19937 rng(3);
    for (int i = 0; i < 5000; ++i) {
        WORD key = static_cast<WORD>(rng() % 40);
        void* value = reinterpret_cast<void*>(static_cast<uintptr_t>(rng() | 1));
        void* got = nullptr;
        switch (rng() % 3) {
        case 0: m[key] = value; ref[key] = value; break;
        case 1: EXPECT_EQ(m.RemoveKey(key) != 0, ref.erase(key) == 1); break;
        default: EXPECT_EQ(m.Lookup(key, got) != 0 ? got : nullptr, ref.count(key) ? ref[key] : nullptr);
        }
        ASSERT_EQ(m.GetCount(), static_cast<int>(ref.size()));
    }
    std::map<WORD, void*> seen;
    for (POSITION pos = m.GetStartPosition(); pos;) {
        WORD key;
        void* value;
        m.GetNextAssoc(pos, key, value);
        EXPECT_TRUE(seen.emplace(key, value).second);
    }
    EXPECT_EQ(seen, ref);
}

} // namespace
