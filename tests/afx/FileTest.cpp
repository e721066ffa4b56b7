#include "afx/afx.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::string TempPath(const char* name)
{
#if defined(_WIN32)
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "afx_" + std::to_string(GetCurrentProcessId()) + "_" + name;
#else
    return "/tmp/afx_" + std::to_string(getpid()) + "_" + name;
#endif
}

TEST(CFile, OpenModesCreateTruncateAndKeep)
{
    std::string path = TempPath("modes.bin");
    CFile::Remove(path.c_str());
    CFile f;
    EXPECT_FALSE(f.Open(path.c_str(), CFile::modeReadWrite));          // no create: must exist
    CFileException e;
    EXPECT_FALSE(f.Open(path.c_str(), CFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);

    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    f.Write("abcdef", 6);
    f.Close();

    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite));
    EXPECT_EQ(f.GetLength(), 6);
    f.Write("XY", 2);    // from the start, the rest stays
    f.Close();

    char buf[16] = {};
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeRead));
    EXPECT_EQ(f.Read(buf, sizeof buf), 6u);   // short read at the end, no exception
    EXPECT_EQ(std::string(buf, 6), "XYcdef");
    EXPECT_EQ(f.Read(buf, sizeof buf), 0u);
    f.Close();

    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));   // truncates
    EXPECT_EQ(f.GetLength(), 0);
    f.Close();
    EXPECT_TRUE(CFile::Remove(path.c_str()));
}

TEST(CFile, WriteToAReadOnlyFileRaises)
{
    std::string path = TempPath("ro.bin");
    CFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    f.Close();
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeRead));
    EXPECT_THROW(f.Write("x", 1), CFileException);
    f.Abort();
    CFile::Remove(path.c_str());
}

TEST(CFile, ReplaceWithSwapsContentInOneStep)
{
    std::string a = TempPath("a.bin"), b = TempPath("b.bin");
    CFile f;
    ASSERT_TRUE(f.Open(a.c_str(), CFile::modeCreate | CFile::modeWrite));
    f.Write("new", 3);
    f.Close();
    ASSERT_TRUE(f.Open(b.c_str(), CFile::modeCreate | CFile::modeWrite));
    f.Write("old content", 11);
    f.Close();
    EXPECT_TRUE(CFile::ReplaceWith(a.c_str(), b.c_str()));
    EXPECT_FALSE(CFile::Exists(a.c_str()));
    ASSERT_TRUE(f.Open(b.c_str(), CFile::modeRead));
    EXPECT_EQ(f.GetLength(), 3);
    f.Close();
    CFile::Remove(b.c_str());
}

#if defined(_WIN32)
// Compatibility and exclusive modes share nothing: a second open fails.
TEST(CFile, ExclusiveModesShareNothing)
{
    std::string path = TempPath("share.bin");
    CFile first, second;
    ASSERT_TRUE(first.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive));
    CFileException e;
    EXPECT_FALSE(second.Open(path.c_str(), CFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
    first.Close();
    ASSERT_TRUE(first.Open(path.c_str(), CFile::modeReadWrite));   // shareCompat
    EXPECT_FALSE(second.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
    first.Close();
    ASSERT_TRUE(first.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
    EXPECT_TRUE(second.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
    first.Close();
    second.Close();
    CFile::Remove(path.c_str());
}
#endif

} // namespace
