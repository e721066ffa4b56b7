// The installer's command line: arguments split at NUL bytes, parsed under the
// classic getopt rules, and the settings path built from the -f value.
#include "CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    CString errors;
    ravelin::CommandLine cl = ravelin::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), errors);
    CString path;
    ravelin::BuildIniPath(args[0].c_str(), cl.strIniName, path);
    return 0;
}
