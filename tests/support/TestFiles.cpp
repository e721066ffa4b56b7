#include "TestFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir()
{
#if defined(_WIN32)
    long pid = static_cast<long>(_getpid());
#else
    long pid = static_cast<long>(getpid());
#endif
    static unsigned counter = 0;
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec)
        base = fs::current_path();
    unsigned long long tick =
        static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    // Test cases of one suite may run as parallel processes; create_directory
    // fails on a name already taken, so a clash only costs another try.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        char name[96];
        std::snprintf(name, sizeof name, "tessaly-test-%ld-%u-%llx", pid, counter++, tick + attempt);
        fs::path p = base / name;
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
    std::vector<std::uint8_t> out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return out;
    unsigned char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

bool RemoveFile(const std::string& path)
{
    std::error_code ec;
    return fs::remove(path, ec);
}

std::vector<std::string> ListFiles(const std::string& dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
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
