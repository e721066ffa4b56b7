#include "TestFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir()
{
    std::random_device rd;
    for (int tries = 0; tries < 100; ++tries) {
        fs::path p = fs::temp_directory_path() / ("tessaly-test-" + std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            m_path = p.generic_string();
            return;
        }
    }
    std::abort();
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

std::vector<std::string> ListFiles(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

namespace {
std::string SelfDir()
{
#if defined(_WIN32)
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string p(buf, n);
#else
    std::string p = fs::read_symlink("/proc/self/exe").string();
#endif
    return fs::path(p).parent_path().string();
}
} // namespace

int RunBeside(const std::string& program, const std::vector<std::string>& args, const std::string& outFile)
{
    return RunBeside(program, args, outFile, std::string());
}

int RunBeside(const std::string& program, const std::vector<std::string>& args, const std::string& outFile,
              const std::string& inFile)
{
#if defined(_WIN32)
    std::string cmd = "\"\"" + SelfDir() + "\\" + program + ".exe\"";
#else
    std::string cmd = "'" + SelfDir() + "/" + program + "'";
#endif
    for (const std::string& a : args)
        cmd += " \"" + a + "\"";
    cmd += " > \"" + outFile + "\"";
    if (!inFile.empty())
        cmd += " < \"" + inFile + "\"";
#if defined(_WIN32)
    cmd += "\"";
    return std::system(cmd.c_str());
#else
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

} // namespace testsupport
