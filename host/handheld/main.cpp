// handheld: the handheld user of the memo application, for tests and demonstrations.
#include "HandheldTool.h"
#include "TextCodec.h"

#include <cstdio>

int main(int argc, char** argv)
{
    std::string out, err;
    int status = tessaly::RunHandheld(tessaly::Utf8Arguments(argc, argv), [] { return tessaly::ReadAllStdin(); }, out, err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    return status;
}
