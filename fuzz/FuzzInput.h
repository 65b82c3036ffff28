#pragma once
// For targets whose parser reads a file: the input goes to one private
// temporary file per process (removed at exit), rewritten for every run.
#include "platform/TempFiles.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fuzz {

inline const std::filesystem::path& InputFile()
{
    static const std::filesystem::path path = platform::MakeTempFileName("fzi", 0);
    if (path.empty())
        std::abort(); // no temporary folder: every later run would test nothing
    return path;
}

inline const std::filesystem::path& WriteInput(const std::uint8_t* data, std::size_t size)
{
    const auto& path = InputFile();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();
    return path;
}

} // namespace fuzz
