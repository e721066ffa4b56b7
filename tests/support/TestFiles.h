// Files and folders for tests: a fresh temporary folder per test, whole-file
// reads and writes, and running a program that lies beside the test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// An empty result when the file cannot be read; false when it cannot be written.
std::vector<std::uint8_t> ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);
// The names of the files in a folder, sorted.
std::vector<std::string> ListFiles(const std::string& dir);

// Runs a program from the folder of the running test with the arguments
// given (quoted) and returns its exit status; standard output goes to outFile.
int RunBeside(const std::string& program, const std::vector<std::string>& args, const std::string& outFile);
// The same with standard input read from inFile (none when empty).
int RunBeside(const std::string& program, const std::vector<std::string>& args, const std::string& outFile,
              const std::string& inFile);

} // namespace testsupport
