#include "afx/afx.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// Without modeCreate the file must exist; modeCreate truncates unless
// modeNoTruncate; writes start at the beginning; reads stop short at the
// end; a file opened for reading refuses writes; ReplaceWith replaces.
TEST(CFile, OpenModesReadsWritesAndReplace)
{
    testsupport::TempDir dir;
    const std::string path = dir.File("modes.bin"), other = dir.File("other.bin");
    CFile f;
    CFileException e;
    EXPECT_FALSE(f.Open(path.c_str(), CFile::modeReadWrite, &e));
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_FALSE(CFile::Exists(path.c_str()));
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    f.Write("abcdef", 6);
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite));
    EXPECT_EQ(f.GetLength(), 6);
    f.Write("XY", 2);
    char buf[16] = {};
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeRead));
    EXPECT_EQ(f.Read(buf, sizeof buf), 6u);
    EXPECT_EQ(std::string(buf, 6), "XYcdef");
    EXPECT_EQ(f.Read(buf, sizeof buf), 0u);
    EXPECT_THROW(f.Write("x", 1), CFileException);
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    EXPECT_EQ(f.GetLength(), 0);
    f.Write("new", 3);
    f.Close();

    testsupport::WriteBytes(other, {'o', 'l', 'd', '!'});
    EXPECT_TRUE(CFile::ReplaceWith(path.c_str(), other.c_str()));
    EXPECT_FALSE(CFile::Exists(path.c_str()));
    EXPECT_EQ(std::vector<std::uint8_t>({'n', 'e', 'w'}), testsupport::ReadBytes(other));
    EXPECT_TRUE(CFile::Remove(other.c_str()));
}

#if defined(_WIN32)
// Compatibility and exclusive modes share nothing: a second open fails.
TEST(CFile, ExclusiveModesShareNothing)
{
    testsupport::TempDir dir;
    const std::string path = dir.File("share.bin");
    CFile first, second;
    CFileException e;
    ASSERT_TRUE(first.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive));
    EXPECT_FALSE(second.Open(path.c_str(), CFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
    ASSERT_TRUE(first.Open(path.c_str(), CFile::modeReadWrite));   // shareCompat
    EXPECT_FALSE(second.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
    ASSERT_TRUE(first.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
    EXPECT_TRUE(second.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
}
#endif

} // namespace
