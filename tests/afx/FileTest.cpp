#include "afx/afx.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <string>

namespace {

class CFileTest : public ::testing::Test {
protected:
    std::string Put(const char* name, const std::string& content)
    {
        const std::string path = m_dir.File(name);
        testsupport::WriteBytes(path, std::vector<std::uint8_t>(content.begin(), content.end()));
        return path;
    }
    std::string Content(const std::string& path)
    {
        const std::vector<std::uint8_t> b = testsupport::ReadBytes(path);
        return std::string(b.begin(), b.end());
    }
    testsupport::TempDir m_dir;
    CFile m_file;
};

TEST_F(CFileTest, OpenModesCreateTruncateAndKeep)
{
    const std::string path = m_dir.File("modes.bin");
    EXPECT_FALSE(m_file.Open(path.c_str(), CFile::modeReadWrite));   // no create: must exist
    CFileException e;
    EXPECT_FALSE(m_file.Open(path.c_str(), CFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_FALSE(CFile::Exists(path.c_str()));

    ASSERT_TRUE(m_file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    m_file.Write("abcdef", 6);
    m_file.Close();
    ASSERT_TRUE(m_file.Open(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite));
    EXPECT_EQ(m_file.GetLength(), 6);
    m_file.Write("XY", 2);   // from the start, the rest stays
    m_file.Close();

    char buf[16] = {};
    ASSERT_TRUE(m_file.Open(path.c_str(), CFile::modeRead));
    EXPECT_EQ(m_file.Read(buf, sizeof buf), 6u);   // short read at the end, no exception
    EXPECT_EQ(std::string(buf, 6), "XYcdef");
    EXPECT_EQ(m_file.Read(buf, sizeof buf), 0u);
    EXPECT_THROW(m_file.Write("x", 1), CFileException);   // opened for reading only
    m_file.Abort();

    ASSERT_TRUE(m_file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));   // truncates
    EXPECT_EQ(m_file.GetLength(), 0);
    m_file.Close();
    EXPECT_TRUE(CFile::Remove(path.c_str()));
    EXPECT_FALSE(CFile::Exists(path.c_str()));
}

TEST_F(CFileTest, ReplaceWithSwapsContentInOneStep)
{
    const std::string from = Put("a.bin", "new"), to = Put("b.bin", "old content");
    EXPECT_TRUE(CFile::ReplaceWith(from.c_str(), to.c_str()));
    EXPECT_FALSE(CFile::Exists(from.c_str()));
    EXPECT_EQ("new", Content(to));
}

#if defined(_WIN32)
// Compatibility and exclusive modes share nothing: a second open fails.
TEST_F(CFileTest, ExclusiveModesShareNothing)
{
    const std::string path = Put("share.bin", "");
    CFile second;
    CFileException e;
    ASSERT_TRUE(m_file.Open(path.c_str(), CFile::modeReadWrite | CFile::shareExclusive));
    EXPECT_FALSE(second.Open(path.c_str(), CFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
    ASSERT_TRUE(m_file.Open(path.c_str(), CFile::modeReadWrite));   // shareCompat
    EXPECT_FALSE(second.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
    ASSERT_TRUE(m_file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
    EXPECT_TRUE(second.Open(path.c_str(), CFile::modeRead | CFile::shareDenyNone));
}
#endif

} // namespace
