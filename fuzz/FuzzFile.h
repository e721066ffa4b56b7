// The fuzz input as a file, for the readers that take a path: one name per
// process and reader, in TMPDIR (or /tmp), so parallel jobs do not collide.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

inline std::string InputFolder()
{
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

inline std::string InputName(const char* reader)
{
    return std::string("fuzz-") + reader + "-" + std::to_string(getpid()) + ".dat";
}

inline std::string InputPath(const char* reader) { return InputFolder() + "/" + InputName(reader); }

// Writes the input to InputPath(reader); false if that could not be done.
inline bool WriteInput(const char* reader, const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(InputPath(reader).c_str(), "wb");
    if (!f)
        return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}
